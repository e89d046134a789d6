#include "generator/PageTemplates.h"

#include "platform/Paths.h"

namespace pw {

std::string_view DefaultTemplateText() {
  return "<html>\n"
         "<head>\n"
         "<title>{$title}</title>\n"
         "<meta name=\"keywords\" content=\"{$keywords}\"/>\n"
         "<meta name=\"description\" content=\"{$description}\"/>\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset={$charset}\"/>\n"
         "</head>\n"
         "<body>\n"
         "{$content}\n"
         "</body>\n"
         "</html>";
}

QString TemplateFileName(std::string_view templateVariable) {
  if (templateVariable.empty()) return QStringLiteral("index.html");
  QString value = platform::NormalizeSeparators(
      QString::fromUtf8(templateVariable.data(), static_cast<qsizetype>(templateVariable.size())));
  return platform::ChangeFileExt(value, QStringLiteral(".html"));
}

QString TemplateFilePath(const QString& templateFolder, std::string_view templateVariable) {
  return platform::ConfinedJoin(templateFolder, TemplateFileName(templateVariable));
}

}  // namespace pw
