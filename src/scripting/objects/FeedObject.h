// TFeedObject ("Feed"): an RSS 2.0 or Atom feed that scripts load from a file or an address,
// edit and save in either format. Loading goes through the hardened XML reader; a source that is
// not a feed leaves the feed as it was. Saved feeds carry what each format requires even when a
// field is empty (an RSS channel's description, an Atom id and updated date), so that readers
// accept them. Not thread-safe: it belongs to the script thread that made it.
#pragma once

#include <QString>

#include <libxml/tree.h>

#include <vector>

#include "scripting/AutoObject.h"
#include "scripting/objects/FeedItem.h"

namespace pw {

class TFeedObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TFeedObject, TCustomAutoObject)

 public:
  TFeedObject() = default;

  bool Load(const QString& source);
  void Save(const QString& file, const QString& format);
  void Clear();
  void Delete(std::int32_t index);
  Variant Add();
  QString GetUrl() { return FUrl; }
  void SetUrl(const QString& v) { FUrl = v; }
  QString GetId() { return FId; }
  void SetId(const QString& v) { FId = v; }
  Date GetDate() { return FDate; }
  void SetDate(Date v) { FDate = v; }
  QString GetTitle() { return FTitle; }
  void SetTitle(const QString& v) { FTitle = v; }
  QString GetLink() { return FLink; }
  void SetLink(const QString& v) { FLink = v; }
  QString GetDescription() { return FDescription; }
  void SetDescription(const QString& v) { FDescription = v; }
  std::int32_t Count() { return static_cast<std::int32_t>(FItems.size()); }
  Variant Items(std::int32_t index);
  bool GetLoaded() { return FLoaded; }
  void SetLoaded(bool v) { FLoaded = v; }

  std::int32_t IndexOf(const TFeedItem* item) const;
  // The feed as RSS 2.0 ("rss", any case) or Atom markup.
  QByteArray Markup(const QString& format);

 protected:
  ~TFeedObject() override;

 private:
  ComPtr<TFeedItem> NewItem();
  void ReadRss(xmlNode* channel);
  void ReadAtom(xmlNode* feed);

  QString FUrl, FId, FTitle, FLink, FDescription;
  Date FDate;
  std::vector<ComPtr<TFeedItem>> FItems;
  bool FLoaded = false;
};

}  // namespace pw
