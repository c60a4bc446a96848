// The library's prebuilt std::string members come as one object of some
// 33 KB that is linked whole. Instantiating them here instead, one section per
// member, lets the linker keep only the members the program calls.
#include <string>

template class std::basic_string<char>;
// The same for the wide strings of the Windows edge.
template class std::basic_string<wchar_t>;
