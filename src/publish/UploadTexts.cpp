#include "publish/UploadTexts.h"

namespace pw {
namespace {

struct TUploadTextRow {
  std::string_view Key;
  const char* English;
  const char* Russian;
};

const TUploadTextRow kRows[] = {
    {"Testing", "Testing...", "Проверка..."},
    {"Open", "Open", "Подключение"},
    {"Change_working_directory", "Change working directory", "Смена текущей директории"},
    {"Invalid_directory", "Invalid directory", "Неверная директория"},
    {"Close", "Close", "Отключение"},
    {"Cant_open", "Can't open", "Ошибка открытия"},
    {"Test_complete", "Test successfully complete", "Проверка успешно завершена"},
    {"Prepare_files", "Prepare files...", "Подготовка файлов..."},
    {"Found_files", "Found files", "Найдено файлов"},
    {"Uploading", "Uploading...", "Публикация..."},
    {"Uploaded", "Uploaded", "Опубликован"},
    {"Upload_error", "Upload error", "Ошибка публикации"},
    {"Files_already_uploaded", "All files already uploaded", "Все файлы уже опубликованы"},
    {"Upload_complete", "Upload successfully complete", "Публикация успешно завершена"},
};

}  // namespace

QString UploadText(std::string_view key, int langId) {
  for (const TUploadTextRow& row : kRows) {
    if (row.Key == key) return QString::fromUtf8(langId == kLangRussian ? row.Russian : row.English);
  }
  return QString();
}

QString UploadLine(std::string_view key, int langId, const QString& arg) {
  return UploadText(key, langId) + QStringLiteral(": ") + arg;
}

QString UploadFormStrings() {
  QString text;
  for (int lang : {kLangEnglish, kLangRussian}) {
    text += u'[' + QString::number(lang) + QStringLiteral("]\n");
    for (const TUploadTextRow& row : kRows) {
      text += QString::fromLatin1(row.Key.data(), static_cast<qsizetype>(row.Key.size())) + u'=' +
              QString::fromUtf8(lang == kLangRussian ? row.Russian : row.English) + u'\n';
    }
  }
  return text;
}

}  // namespace pw
