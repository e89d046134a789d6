#include "scripting/AutoMember.h"

#include <map>
#include <typeinfo>

#include "scripting/AutoObject.h"

namespace pw {

namespace {

constexpr std::size_t kMaxNameLength = 255;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::string LowerAscii(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

}  // namespace

std::string AutoMemberName(const QString& name) {
  const qsizetype length = std::min<qsizetype>(name.size(), kMaxNameLength);
  std::string result(static_cast<std::size_t>(length), '\0');
  for (qsizetype i = 0; i < length; ++i) {
    const char16_t c = name[i].unicode();
    result[static_cast<std::size_t>(i)] = c < 256 ? static_cast<char>(c) : '\0';
  }
  return result;
}

TAutoClass::TAutoClass(const char* name, const TAutoClass* parent,
                       std::initializer_list<TAutoMembers> members)
    : FName(name), FParent(parent) {
  for (const TAutoMembers& group : members) {
    FMembers.insert(FMembers.end(), group.entries.begin(), group.entries.end());
  }
}

DISPID TAutoClass::FindDispID(std::string_view name) const {
  // A name holding byte 0 came from a character above U+00FF and matches nothing.
  if (name.find('\0') != std::string_view::npos) return -1;
  for (const TAutoClass* cls = this; cls; cls = cls->FParent) {
    for (const TAutoMember& member : cls->FMembers) {
      if (SameName(member.name, name)) return member.dispId;
    }
  }
  return -1;
}

const TAutoMember* TAutoClass::FindEntry(DISPID id, std::uint16_t flags) const {
  for (const TAutoClass* cls = this; cls; cls = cls->FParent) {
    for (const TAutoMember& member : cls->FMembers) {
      if (member.dispId == id && (member.kind & flags) != 0) return &member;
    }
  }
  return nullptr;
}

std::vector<std::string> TAutoClass::Problems() const {
  std::vector<std::string> problems;
  std::map<DISPID, std::string> nameOfId;
  std::map<std::string, DISPID> idOfName;
  std::map<DISPID, std::uint8_t> kindsOfId;
  // Ancestors first, so a subclass entry that reuses an inherited DispID is reported at the
  // subclass.
  std::vector<const TAutoClass*> chain;
  for (const TAutoClass* cls = this; cls; cls = cls->FParent) chain.insert(chain.begin(), cls);
  for (const TAutoClass* cls : chain) {
    for (const TAutoMember& member : cls->FMembers) {
      const std::string where = cls->FName + "." + member.name + ": ";
      bool ascii = true;
      for (char c : member.name) ascii = ascii && c > ' ' && static_cast<unsigned char>(c) < 0x80;
      if (member.name.empty() || member.name.size() > kMaxNameLength || !ascii) {
        problems.push_back(where + "the name must be 1 to 255 printable ASCII characters");
      }
      if (member.paramTypes.size() > 255) problems.push_back(where + "more than 255 parameters");
      if (member.dispId >= DISPID_DYNAMIC_BASE) {
        problems.push_back(where + "DispIDs from 6000 on belong to dynamic members");
      }
      if (member.dispId == DISPID_UNKNOWN) problems.push_back(where + "DispID -1 means no member");
      if (!member.code) problems.push_back(where + "no code");
      const std::string lower = LowerAscii(member.name);
      auto named = nameOfId.find(member.dispId);
      if (named != nameOfId.end() && named->second != lower) {
        problems.push_back(where + "DispID " + std::to_string(member.dispId) + " is already " +
                           named->second);
      }
      auto id = idOfName.find(lower);
      if (id != idOfName.end() && id->second != member.dispId) {
        problems.push_back(where + "the name already has DispID " + std::to_string(id->second));
      }
      std::uint8_t& kinds = kindsOfId[member.dispId];
      if (kinds & member.kind) {
        problems.push_back(where + "a second entry of the same kind for DispID " +
                           std::to_string(member.dispId));
      }
      kinds |= member.kind;
      nameOfId.emplace(member.dispId, lower);
      idOfName.emplace(lower, member.dispId);
    }
  }
  return problems;
}

namespace auto_detail {

void ThrowForeignMember(const TAutoTarget& target, const char* memberName) {
  throw EAutoObjectError(QStringLiteral("%1 has no member %2 of this kind")
                             .arg(QString::fromStdString(target.AutoClass().Name()),
                                  QString::fromLatin1(memberName)));
}

}  // namespace auto_detail

}  // namespace pw
