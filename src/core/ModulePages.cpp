// TModule: the page list and the commands that add and delete pages.
#include "core/Module.h"

#include "core/Texts.h"
#include "markup/ContentText.h"
#include "platform/LineBreaks.h"
#include "platform/Trim.h"

#include <algorithm>

namespace pw {
namespace {

// A field of the add-page window on one line: a line break would cut the block apart.
QString OneLine(const QString& text) { return platform::WithoutLineBreaks(text); }

}  // namespace

void TModule::RefreshPageList(bool forced) {
  if (!forced && FEditor.Revision() == FRefreshedRevision) return;
  FRefreshedRevision = FEditor.Revision();

  content::TPageScan scan = content::ScanPages(ContentUtf8(), LocalText("Project").toStdString());
  const bool changed = scan.Entries != FPageList;
  FPageList = std::move(scan.Entries);
  FSelectedPage = std::clamp(FSelectedPage, 0, static_cast<int>(FPageList.size()) - 1);
  FProject.ProjectTitle = QString::fromStdString(scan.ProjectTitle);

  const QString units = QString::fromStdString(scan.UsedUnits);
  if (units != FProject.UsedUnits) {
    FProject.UsedUnits = units;
    if (!forced) CompileScripts();
  }
  if (changed) emit PageListChanged();
}

void TModule::SetSelectedPage(int index) {
  FSelectedPage = std::clamp(index, 0, std::max(0, static_cast<int>(FPageList.size()) - 1));
}

QString TModule::CurrentPageName() const {
  return QString::fromStdString(content::CurrentPageName(ContentUtf8(), FEditor.Caret().Line));
}

bool TModule::CanDeletePage() const {
  return FSelectedPage > 0 && FSelectedPage < static_cast<int>(FPageList.size());
}

bool TModule::CmAddPage() {
  TAddPageFields fields;
  if (!FHost.AskAddPage(fields)) return false;
  const QString name = OneLine(fields.Name);
  if (name.trimmed().isEmpty()) return false;

  // The list may lag behind the text between idle refreshes; the header lines must be current.
  RefreshPageList(false);
  const QString br = LineBreak();
  QString block = u'[' + name + u']' + br;
  if (!fields.Title.isEmpty()) block += QStringLiteral("$title ") + OneLine(fields.Title) + br;
  if (!fields.Description.isEmpty()) block += QStringLiteral("$description ") + OneLine(fields.Description) + br;
  if (!fields.Keywords.isEmpty()) block += QStringLiteral("$keywords ") + OneLine(fields.Keywords) + br;
  block += br;
  const int blockLines = static_cast<int>(block.count(br));

  int caretLine;  // 1-based
  if (CanDeletePage()) {
    const int header = FPageList[FSelectedPage].Line - 1;
    FEditor.ReplaceRange({header, 0}, {header, 0}, block);
    caretLine = header + blockLines;
  } else {
    const int oldCount = FEditor.LineCount();
    const QString prefix = FEditor.Line(oldCount - 1).isEmpty() ? br : br + br;
    const TTextPos end = FEditor.EndPos();
    FEditor.SetCaret(end);
    FEditor.ReplaceRange(end, end, prefix + block);
    caretLine = oldCount + blockLines;
  }
  FEditor.SetCaret({caretLine - 1, 0});
  FEditor.SetFocus();
  return true;
}

bool TModule::CmDeletePage() {
  RefreshPageList(false);
  if (!CanDeletePage()) return false;
  const TPageListEntry entry = FPageList[FSelectedPage];
  if (!FHost.AskYesNo(LocalText("DeletePageAction.Caption"), LocalFormat("DeletePageQuestion", QString::fromStdString(entry.Caption))))
    return false;

  const std::string text = ContentUtf8();
  const std::vector<std::string_view> lines = content::SplitLines(text);
  const int header = entry.Line - 1;
  if (header < 0 || header >= static_cast<int>(lines.size()) || !content::IsListedHeader(platform::TrimBlanks(lines[header])))
    return false;
  const int next = content::SectionEndLine(lines, header);
  const TTextPos to = next >= static_cast<int>(lines.size()) ? FEditor.EndPos() : TTextPos{next, 0};
  FEditor.ReplaceRange({header, 0}, to, QString());
  return true;
}

}  // namespace pw
