#include "scripting/objects/FeedItem.h"

#include "scripting/objects/FeedObject.h"

namespace pw {

PW_AUTO_MEMBERS(TFeedItem,
    AutoGetter(1, "Feed", &TFeedItem::Feed),
    AutoGetter(2, "Index", &TFeedItem::Index),
    AutoProperty(3, "Id", &TFeedItem::GetId, &TFeedItem::SetId),
    AutoProperty(4, "Date", &TFeedItem::GetDate, &TFeedItem::SetDate),
    AutoProperty(5, "Author", &TFeedItem::GetAuthor, &TFeedItem::SetAuthor),
    AutoProperty(6, "Title", &TFeedItem::GetTitle, &TFeedItem::SetTitle),
    AutoProperty(7, "Link", &TFeedItem::GetLink, &TFeedItem::SetLink),
    AutoProperty(8, "Category", &TFeedItem::GetCategory, &TFeedItem::SetCategory),
    AutoProperty(9, "Content", &TFeedItem::GetContent, &TFeedItem::SetContent))

Variant TFeedItem::Feed() { return FFeed ? Variant::FromDispatch(FFeed->AsDispatch()) : Variant::Null(); }

std::int32_t TFeedItem::Index() { return FFeed ? FFeed->IndexOf(this) : -1; }

}  // namespace pw
