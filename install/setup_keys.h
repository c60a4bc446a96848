// The keys of "setup.ini": every group and key that the installer or the
// builder reads, with its kind, the values it is meant to take, its default
// and a one-line meaning. The settings passes read through this table, the
// builder's check judges a package by it, and the README's key table is
// printed from it, so the three cannot disagree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brindorel {

class IniDocument;

// Title used when [Info] Titel is absent.
extern const char* const kDefaultProgramTitle;

enum class SetupKind {
  Text,         // any text
  Number,       // decimal, 32-bit signed
  SmallNumber,  // decimal; only the low 8 bits are kept, as a signed number
  Flag,         // decimal; only the low 8 bits are kept; set when they are not all zero
  List,         // items each closed by "|"
  Guid,         // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  Path,         // a file or folder; folder placeholders where the meaning says so
  TaskLines,    // Task1 .. TaskN, "|"-separated task lines
};

// Who reads a key: the installer's start-up pass, its wizard set-up pass,
// its installation sequence, or the builder alone.
enum class SetupReader { Start, Wizard, Installation, Builder };

// The keys in table order (group by group).
enum class SetupKeyId : int {
  Language, ProgExe, InstallScope, DefaultDir, NoCopyExt, IconID, NoDelAll,
  Titel, Version, Guid, Web, Date, Author, EMail,
  MenuDefaultDir, ProgLink, Help, Url, Exe, Unistall,
  MutexString, Reboot, Desktop, StartProg, StartMenu,
  TaskNumber, TaskLines,
  Count
};

constexpr int kSetupKeyCount = static_cast<int>(SetupKeyId::Count);

struct SetupKey {
  const char* group;
  const char* key;  // "Task<n>" for the task lines
  SetupKind kind;
  // Numbers and flags: the values a package is meant to write. A value
  // outside is read as written by Number, and cut to 8 bits by SmallNumber
  // and Flag.
  std::int32_t low;
  std::int32_t high;
  const char* defaultValue;  // as the reading gets it; decimal for numbers
  const char* defaultShown;  // the README's words when the default is computed; nullptr otherwise
  bool required;             // a package without it is broken
  SetupReader reader;
};

// The table, indexed by SetupKeyId.
const SetupKey& SetupKeyAt(SetupKeyId id);
// A key's meaning in one line, for the README and the builder.
const char* SetupKeyMeaning(SetupKeyId id);

// The key of that group and name, compared ignoring the case of A-Z; the
// task lines match "Task" followed by a number without leading zero.
// nullptr for a key the table does not hold.
const SetupKey* FindSetupKey(const std::string& group, const std::string& key);

// Whether the table holds a group of that name (A-Z case ignored).
bool IsSetupGroup(const std::string& group);

// The number the installer keeps of a value read as `value`: Flag and
// SmallNumber keep only the low 8 bits (unsigned and signed), the others
// keep it whole.
std::int32_t StoredSetupNumber(SetupKind kind, std::int32_t value);

// Reads a text key as the installer does: selects its group and reads the
// key with the table's default (or `fallback` for a computed default).
std::string ReadSetupText(IniDocument& ini, SetupKeyId id);
std::string ReadSetupText(IniDocument& ini, SetupKeyId id, const std::string& fallback);
// Reads a number or flag the same way, kept as StoredSetupNumber says.
std::int32_t ReadSetupNumber(IniDocument& ini, SetupKeyId id);

}  // namespace brindorel
