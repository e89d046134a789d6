// TFeedItem: one item (RSS) or entry (Atom) of a feed object. Category holds all categories
// joined by ", "; a Date of 0 means none. It points to its feed without counting it; the feed
// cuts that link when the item is removed or the feed goes, after which Feed is null and Index
// is -1. Not thread-safe, like its feed.
#pragma once

#include <QString>

#include "scripting/AutoObject.h"

namespace pw {

class TFeedObject;

class TFeedItem : public TCustomAutoObject {
  PW_AUTO_CLASS(TFeedItem, TCustomAutoObject)

 public:
  explicit TFeedItem(TFeedObject* feed) : FFeed(feed) {}

  Variant Feed();
  std::int32_t Index();
  QString GetId() { return FId; }
  void SetId(const QString& v) { FId = v; }
  Date GetDate() { return FDate; }
  void SetDate(Date v) { FDate = v; }
  QString GetAuthor() { return FAuthor; }
  void SetAuthor(const QString& v) { FAuthor = v; }
  QString GetTitle() { return FTitle; }
  void SetTitle(const QString& v) { FTitle = v; }
  QString GetLink() { return FLink; }
  void SetLink(const QString& v) { FLink = v; }
  QString GetCategory() { return FCategory; }
  void SetCategory(const QString& v) { FCategory = v; }
  QString GetContent() { return FContent; }
  void SetContent(const QString& v) { FContent = v; }

  void Detach() { FFeed = nullptr; }

 protected:
  ~TFeedItem() override = default;

 private:
  TFeedObject* FFeed;
  QString FId, FAuthor, FTitle, FLink, FCategory, FContent;
  Date FDate;
};

}  // namespace pw
