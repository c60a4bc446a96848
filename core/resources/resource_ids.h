// Resource numbers of the installer stub.
#pragma once
#define IDR_HEADER_ICON 100
