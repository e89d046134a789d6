#include "scripting/objects/FeedObject.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <memory>

#include "platform/FileIO.h"
#include "scripting/objects/IsoDate.h"
#include "scripting/objects/XmlNodeObject.h"
#include "scripting/objects/XmlObject.h"

namespace pw {

PW_AUTO_MEMBERS(TFeedObject,
    AutoMethod(1, "Load", &TFeedObject::Load),
    AutoMethod(2, "Save", &TFeedObject::Save),
    AutoMethod(3, "Clear", &TFeedObject::Clear),
    AutoMethod(4, "Delete", &TFeedObject::Delete),
    AutoMethod(5, "Add", &TFeedObject::Add),
    AutoProperty(6, "Url", &TFeedObject::GetUrl, &TFeedObject::SetUrl),
    AutoProperty(7, "Id", &TFeedObject::GetId, &TFeedObject::SetId),
    AutoProperty(8, "Date", &TFeedObject::GetDate, &TFeedObject::SetDate),
    AutoProperty(9, "Title", &TFeedObject::GetTitle, &TFeedObject::SetTitle),
    AutoProperty(10, "Link", &TFeedObject::GetLink, &TFeedObject::SetLink),
    AutoProperty(11, "Description", &TFeedObject::GetDescription, &TFeedObject::SetDescription),
    AutoGetter(12, "Count", &TFeedObject::Count),
    AutoGetter(DISPID_VALUE, "Items", &TFeedObject::Items),
    AutoProperty(13, "Loaded", &TFeedObject::GetLoaded, &TFeedObject::SetLoaded))

namespace {

const char kAtomNamespace[] = "http://www.w3.org/2005/Atom";

const xmlChar* X(const QByteArray& utf8) { return reinterpret_cast<const xmlChar*>(utf8.constData()); }

// The qualified name as written ("dc:creator"), compared without regard to case.
QString QualifiedName(const xmlNode* node) {
  const QString name = QString::fromUtf8(reinterpret_cast<const char*>(node->name));
  return node->ns && node->ns->prefix
             ? QString::fromUtf8(reinterpret_cast<const char*>(node->ns->prefix)) + QLatin1Char(':') + name
             : name;
}

xmlNode* Child(xmlNode* parent, const char* name) {
  if (!parent) return nullptr;
  for (xmlNode* child = parent->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && QualifiedName(child).compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
      return child;
    }
  }
  return nullptr;
}

QString ChildText(xmlNode* parent, const char* name) { return XmlNodeText(Child(parent, name)).trimmed(); }

QString Categories(xmlNode* parent, bool atom) {
  QStringList parts;
  for (xmlNode* child = parent->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || QualifiedName(child).compare(QLatin1String("category"), Qt::CaseInsensitive) != 0) {
      continue;
    }
    // Atom names a category by its term attribute.
    const QString term = atom ? XmlAttribute(child, QStringLiteral("term")) : QString();
    parts << (term.isEmpty() ? XmlNodeText(child).trimmed() : term);
  }
  return parts.join(QLatin1String(", "));
}

Date ParseRfc822(const QString& text) {
  // Feeds mostly name their zone (RFC 822 allows "GMT", "EST"...), which Qt reads only as a
  // number.
  static const struct {
    const char* Name;
    const char* Offset;
  } kZones[] = {{"GMT", "+0000"}, {"UTC", "+0000"}, {"UT", "+0000"}, {"Z", "+0000"},
                {"EST", "-0500"}, {"EDT", "-0400"}, {"CST", "-0600"}, {"CDT", "-0500"},
                {"MST", "-0700"}, {"MDT", "-0600"}, {"PST", "-0800"}, {"PDT", "-0700"}};
  QString value = text.trimmed();
  const qsizetype space = value.lastIndexOf(QLatin1Char(' '));
  if (space > 0) {
    for (const auto& zone : kZones) {
      if (value.mid(space + 1).compare(QLatin1String(zone.Name), Qt::CaseInsensitive) == 0) {
        value = value.left(space + 1) + QLatin1String(zone.Offset);
        break;
      }
    }
  }
  const QDateTime parsed = QDateTime::fromString(value, Qt::RFC2822Date);
  return parsed.isValid() ? DateOf(parsed.toLocalTime()) : Date{};
}

QString FormatRfc822(Date date) { return LocalDateTimeOf(date).toString(Qt::RFC2822Date); }

Date Now() { return DateOf(QDateTime::currentDateTime()); }

xmlNode* AddText(xmlNode* parent, const char* name, const QString& text) {
  // xmlNewTextChild escapes the text.
  return xmlNewTextChild(parent, nullptr, BAD_CAST name, X(text.toUtf8()));
}

QStringList SplitCategories(const QString& category) {
  QStringList parts;
  for (const QString& part : category.split(QLatin1Char(','))) {
    if (!part.trimmed().isEmpty()) parts << part.trimmed();
  }
  return parts;
}

}  // namespace

TFeedObject::~TFeedObject() {
  for (const ComPtr<TFeedItem>& item : FItems) item->Detach();
}

ComPtr<TFeedItem> TFeedObject::NewItem() {
  ComPtr<TFeedItem> item = MakeAutoObject<TFeedItem>(this);
  FItems.push_back(item);
  return item;
}

std::int32_t TFeedObject::IndexOf(const TFeedItem* item) const {
  for (size_t i = 0; i < FItems.size(); ++i) {
    if (FItems[i].Get() == item) return static_cast<std::int32_t>(i);
  }
  return -1;
}

void TFeedObject::Clear() {
  for (const ComPtr<TFeedItem>& item : FItems) item->Detach();
  FItems.clear();
  FDate = Date{};
}

void TFeedObject::Delete(std::int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= FItems.size()) {
    throw EAutoObjectError(QStringLiteral("There is no item %1 (the feed has %2)").arg(index).arg(FItems.size()));
  }
  FItems[static_cast<size_t>(index)]->Detach();
  FItems.erase(FItems.begin() + index);
}

Variant TFeedObject::Add() {
  ComPtr<TFeedItem> item = NewItem();
  return Variant::FromDispatch(item->AsDispatch());
}

Variant TFeedObject::Items(std::int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= FItems.size()) return Variant::Null();
  return Variant::FromDispatch(FItems[static_cast<size_t>(index)]->AsDispatch());
}

bool TFeedObject::Load(const QString& source) {
  ComPtr<TXMLObject> xml = MakeAutoObject<TXMLObject>();
  if (!xml->Load(source)) return false;
  xmlNode* root = xmlDocGetRootElement(xml->Dom()->Doc());
  const QString kind = root ? QString::fromUtf8(reinterpret_cast<const char*>(root->name)).toLower() : QString();
  xmlNode* channel = kind == QLatin1String("rss") ? Child(root, "channel") : nullptr;
  const bool known = channel || kind == QLatin1String("feed");
  if (known) {
    Clear();
    FUrl = source;
    FId.clear();
    FTitle.clear();
    FLink.clear();
    FDescription.clear();
    if (channel) {
      ReadRss(channel);
    } else {
      ReadAtom(root);
    }
  }
  FLoaded = known;
  return known;
}

void TFeedObject::ReadRss(xmlNode* channel) {
  FTitle = ChildText(channel, "title");
  FLink = ChildText(channel, "link");
  FDescription = ChildText(channel, "description");
  QString date = ChildText(channel, "pubDate");
  if (date.isEmpty()) date = ChildText(channel, "lastBuildDate");
  FDate = ParseRfc822(date);
  for (xmlNode* node = channel->children; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE || QualifiedName(node).compare(QLatin1String("item"), Qt::CaseInsensitive) != 0) continue;
    ComPtr<TFeedItem> item = NewItem();
    item->SetLink(ChildText(node, "link"));
    const QString guid = ChildText(node, "guid");
    item->SetId(guid.isEmpty() ? item->GetLink() : guid);
    const QString author = ChildText(node, "author");
    item->SetAuthor(author.isEmpty() ? ChildText(node, "dc:creator") : author);
    item->SetTitle(ChildText(node, "title"));
    item->SetCategory(Categories(node, false));
    item->SetDate(ParseRfc822(ChildText(node, "pubDate")));
    xmlNode* encoded = Child(node, "content:encoded");
    item->SetContent(encoded ? XmlNodeText(encoded) : XmlNodeText(Child(node, "description")));
  }
}

void TFeedObject::ReadAtom(xmlNode* feed) {
  FTitle = ChildText(feed, "title");
  FLink = XmlAttribute(Child(feed, "link"), QStringLiteral("href"));
  FDescription = ChildText(feed, "subtitle");
  FId = ChildText(feed, "id");
  FDate = ParseIsoDate(ChildText(feed, "updated"), Now());
  for (xmlNode* node = feed->children; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE || QualifiedName(node).compare(QLatin1String("entry"), Qt::CaseInsensitive) != 0) continue;
    ComPtr<TFeedItem> item = NewItem();
    item->SetLink(XmlAttribute(Child(node, "link"), QStringLiteral("href")));
    const QString id = ChildText(node, "id");
    item->SetId(id.isEmpty() ? item->GetLink() : id);
    item->SetAuthor(ChildText(Child(node, "author"), "name"));
    item->SetTitle(ChildText(node, "title"));
    item->SetCategory(Categories(node, true));
    QString date = ChildText(node, "updated");
    if (date.isEmpty()) date = ChildText(node, "published");
    item->SetDate(ParseIsoDate(date, Now()));
    item->SetContent(XmlNodeText(Child(node, "content")));
  }
}

QByteArray TFeedObject::Markup(const QString& format) {
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(xmlNewDoc(BAD_CAST "1.0"), &xmlFreeDoc);
  const bool rss = format.compare(QLatin1String("rss"), Qt::CaseInsensitive) == 0;
  if (rss) {
    xmlNode* root = xmlNewDocNode(doc.get(), nullptr, BAD_CAST "rss", nullptr);
    xmlDocSetRootElement(doc.get(), root);
    xmlSetProp(root, BAD_CAST "version", BAD_CAST "2.0");
    xmlNode* channel = xmlNewChild(root, nullptr, BAD_CAST "channel", nullptr);
    AddText(channel, "title", FTitle);
    AddText(channel, "link", FLink);
    // A channel without a description is not RSS 2.0.
    AddText(channel, "description", FDescription);
    if (FDate.Value != 0) AddText(channel, "pubDate", FormatRfc822(FDate));
    for (const ComPtr<TFeedItem>& item : FItems) {
      xmlNode* node = xmlNewChild(channel, nullptr, BAD_CAST "item", nullptr);
      if (!item->GetId().isEmpty()) {
        xmlNode* guid = AddText(node, "guid", item->GetId());
        // A guid is a permalink unless it says otherwise; only the item's own link is one.
        if (item->GetId() != item->GetLink()) xmlSetProp(guid, BAD_CAST "isPermaLink", BAD_CAST "false");
      }
      AddText(node, "link", item->GetLink());
      AddText(node, "title", item->GetTitle());
      if (item->GetDate().Value != 0) AddText(node, "pubDate", FormatRfc822(item->GetDate()));
      AddText(node, "description", item->GetContent());
      for (const QString& category : SplitCategories(item->GetCategory())) AddText(node, "category", category);
      if (!item->GetAuthor().isEmpty()) AddText(node, "author", item->GetAuthor());
    }
  } else {
    xmlNode* root = xmlNewDocNode(doc.get(), nullptr, BAD_CAST "feed", nullptr);
    xmlDocSetRootElement(doc.get(), root);
    xmlSetNs(root, xmlNewNs(root, BAD_CAST kAtomNamespace, nullptr));
    const Date updated = FDate.Value != 0 ? FDate : Now();
    // Atom requires an id; the link or the feed's own address stand in for a missing one.
    QString id = FId.isEmpty() ? FLink : FId;
    if (id.isEmpty()) id = FUrl;
    if (!id.isEmpty()) AddText(root, "id", id);
    AddText(root, "title", FTitle);
    if (!FDescription.isEmpty()) AddText(root, "subtitle", FDescription);
    xmlNode* link = xmlNewChild(root, nullptr, BAD_CAST "link", nullptr);
    xmlSetProp(link, BAD_CAST "href", X(FLink.toUtf8()));
    if (!FUrl.isEmpty()) {
      xmlNode* self = xmlNewChild(root, nullptr, BAD_CAST "link", nullptr);
      xmlSetProp(self, BAD_CAST "rel", BAD_CAST "self");
      xmlSetProp(self, BAD_CAST "href", X(FUrl.toUtf8()));
      xmlSetProp(self, BAD_CAST "type", BAD_CAST "application/atom+xml");
    }
    AddText(root, "updated", FormatIsoDate(updated));
    for (const ComPtr<TFeedItem>& item : FItems) {
      xmlNode* node = xmlNewChild(root, nullptr, BAD_CAST "entry", nullptr);
      const QString entryId = item->GetId().isEmpty() ? item->GetLink() : item->GetId();
      if (!entryId.isEmpty()) AddText(node, "id", entryId);
      xmlNode* entryLink = xmlNewChild(node, nullptr, BAD_CAST "link", nullptr);
      xmlSetProp(entryLink, BAD_CAST "href", X(item->GetLink().toUtf8()));
      AddText(node, "title", item->GetTitle());
      // An entry without updated is not Atom; it takes the feed's date.
      AddText(node, "updated", FormatIsoDate(item->GetDate().Value != 0 ? item->GetDate() : updated));
      xmlNode* content = AddText(node, "content", item->GetContent());
      xmlSetProp(content, BAD_CAST "type", BAD_CAST "html");
      for (const QString& category : SplitCategories(item->GetCategory())) {
        xmlNode* c = xmlNewChild(node, nullptr, BAD_CAST "category", nullptr);
        xmlSetProp(c, BAD_CAST "term", X(category.toUtf8()));
      }
      if (!item->GetAuthor().isEmpty()) AddText(xmlNewChild(node, nullptr, BAD_CAST "author", nullptr), "name", item->GetAuthor());
    }
  }
  xmlChar* text = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc.get(), &text, &size, "utf-8", 1);
  QByteArray bytes(reinterpret_cast<const char*>(text), size);
  xmlFree(text);
  return bytes;
}

void TFeedObject::Save(const QString& file, const QString& format) {
  const QByteArray bytes = Markup(format);
  QString error;
  if (!platform::WriteWholeFile(file, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), &error)) {
    throw EAutoObjectError(error);
  }
}

}  // namespace pw
