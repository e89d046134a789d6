#include "scripting/AutoMember.h"

#include <map>
#include <typeinfo>

#include "platform/AsciiCase.h"
#include "scripting/AutoObject.h"

namespace pw {

namespace {

constexpr std::size_t kMaxNameLength = 255;

using platform::LowerAscii;

bool SameName(std::string_view a, std::string_view b) { return platform::EqualsIgnoringAsciiCase(a, b); }

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
    FMembers.insert(FMembers.end(), group.Entries.begin(), group.Entries.end());
  }
}

DISPID TAutoClass::FindDispID(std::string_view name) const {
  // A name holding byte 0 came from a character above U+00FF and matches nothing.
  if (name.find('\0') != std::string_view::npos) return -1;
  for (const TAutoClass* cls = this; cls; cls = cls->FParent) {
    for (const TAutoMember& member : cls->FMembers) {
      if (SameName(member.Name, name)) return member.DispID;
    }
  }
  return -1;
}

const TAutoMember* TAutoClass::FindEntry(DISPID id, std::uint16_t flags) const {
  for (const TAutoClass* cls = this; cls; cls = cls->FParent) {
    for (const TAutoMember& member : cls->FMembers) {
      if (member.DispID == id && (member.Kind & flags) != 0) return &member;
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
      const std::string where = cls->FName + "." + member.Name + ": ";
      bool ascii = true;
      for (char c : member.Name) ascii = ascii && c > ' ' && static_cast<unsigned char>(c) < 0x80;
      if (member.Name.empty() || member.Name.size() > kMaxNameLength || !ascii) {
        problems.push_back(where + "the name must be 1 to 255 printable ASCII characters");
      }
      if (member.ParamTypes.size() > 255) problems.push_back(where + "more than 255 parameters");
      if (member.DispID >= DISPID_DYNAMIC_BASE) {
        problems.push_back(where + "DispIDs from 6000 on belong to dynamic members");
      }
      if (member.DispID == DISPID_UNKNOWN) problems.push_back(where + "DispID -1 means no member");
      if (!member.Code) problems.push_back(where + "no code");
      const std::string lower = LowerAscii(member.Name);
      auto named = nameOfId.find(member.DispID);
      if (named != nameOfId.end() && named->second != lower) {
        problems.push_back(where + "DispID " + std::to_string(member.DispID) + " is already " +
                           named->second);
      }
      auto id = idOfName.find(lower);
      if (id != idOfName.end() && id->second != member.DispID) {
        problems.push_back(where + "the name already has DispID " + std::to_string(id->second));
      }
      std::uint8_t& kinds = kindsOfId[member.DispID];
      if (kinds & member.Kind) {
        problems.push_back(where + "a second entry of the same kind for DispID " +
                           std::to_string(member.DispID));
      }
      kinds |= member.Kind;
      nameOfId.emplace(member.DispID, lower);
      idOfName.emplace(lower, member.DispID);
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
