#include "scripting/objects/FileListObject.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

#include "platform/Paths.h"

namespace pw {

PW_AUTO_MEMBERS(TFileInfo,
    AutoGetter(1, "Name", &TFileInfo::Name),
    AutoGetter(2, "Path", &TFileInfo::Path),
    AutoGetter(3, "FileName", &TFileInfo::FileName),
    AutoGetter(4, "Folder", &TFileInfo::Folder),
    AutoGetter(5, "FolderDate", &TFileInfo::FolderDate),
    AutoGetter(6, "Date", &TFileInfo::Date),
    AutoGetter(7, "Size", &TFileInfo::Size),
    AutoProperty(8, "Group", &TFileInfo::Group, &TFileInfo::SetGroup),
    AutoProperty(9, "Selected", &TFileInfo::Selected, &TFileInfo::SetSelected))

PW_AUTO_MEMBERS(TFileListObject,
    AutoMethod(1, "AddFiles", &TFileListObject::AddFiles),
    AutoMethod(2, "RemoveAll", &TFileListObject::RemoveAll),
    AutoMethod(3, "SortByName", &TFileListObject::SortByName),
    AutoMethod(4, "SortBySize", &TFileListObject::SortBySize),
    AutoMethod(5, "SortByDate", &TFileListObject::SortByDate),
    AutoMethod(6, "SelectDuplicates", &TFileListObject::SelectDuplicates),
    AutoMethod(7, "Clear", &TFileListObject::Clear),
    AutoMethod(8, "MoveSelection", &TFileListObject::MoveSelection),
    AutoMethod(9, "DeleteSelection", &TFileListObject::DeleteSelection),
    AutoMember(DISPID_VALUE, "Files", akGet | akMethod, &TFileListObject::Files),
    AutoGetter(10, "Length", &TFileListObject::Length))

namespace {

using TLock = std::lock_guard<std::mutex>;

// Script dates count days from 1899-12-30 in local time.
Variant DateOf(const QDateTime& time) {
  static const QDate base(1899, 12, 30);
  if (!time.isValid()) return Variant(pw::Date{});
  const QDateTime local = time.toLocalTime();
  return Variant(pw::Date{static_cast<double>(base.daysTo(local.date())) +
                          local.time().msecsSinceStartOfDay() / 86400000.0});
}

QStringList NameFilters(const QString& mask) {
  QStringList filters;
  for (const QString& part : mask.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QString pattern = part.trimmed();
    // "*.*" means every file, also those without a dot.
    if (pattern == QStringLiteral("*.*")) return {};
    if (!pattern.isEmpty()) filters << pattern;
  }
  return filters;
}

}  // namespace

// --- TFileInfo

TFileInfo::TFileInfo(std::shared_ptr<const TFolderInfo> folder, QString name, QDateTime date, std::int64_t size)
    : FFolder(std::move(folder)), FName(std::move(name)), FDate(std::move(date)), FSize(size) {}

QString TFileInfo::Name() { return FName; }
QString TFileInfo::Path() { return FFolder->Path; }
QString TFileInfo::FileName() { return FFolder->Path + FName; }

QString TFileInfo::Folder() {
  QString path = FFolder->Path;
  path.chop(1);
  return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

Variant TFileInfo::FolderDate() { return DateOf(FFolder->Date); }
Variant TFileInfo::Date() { return DateOf(FDate); }
std::int64_t TFileInfo::Size() { return FSize; }

std::int32_t TFileInfo::Group() {
  TLock lock(FMutex);
  return FGroup;
}

void TFileInfo::SetGroup(std::int32_t group) {
  TLock lock(FMutex);
  FGroup = group;
}

bool TFileInfo::Selected() {
  TLock lock(FMutex);
  return FSelected;
}

void TFileInfo::SetSelected(bool selected) {
  TLock lock(FMutex);
  FSelected = selected;
}

bool TFileInfo::Digest(QByteArray& digest) {
  TLock lock(FMutex);
  if (!FDigestRead) {
    FDigestRead = true;
    QFile file(FileName());
    QCryptographicHash hash(QCryptographicHash::Md5);
    FDigestOk = file.open(QIODevice::ReadOnly) && hash.addData(&file);
    if (FDigestOk) FDigest = hash.result();
  }
  digest = FDigest;
  return FDigestOk;
}

// --- TFileListObject

bool TFileListObject::KnownFolder(const QString& path) const {
  const QString canonical = QFileInfo(path).canonicalFilePath();
  return std::any_of(FFolders.begin(), FFolders.end(), [&](const auto& f) { return f->Path == path; }) ||
         (!canonical.isEmpty() && FCanonicalFolders.contains(canonical));
}

int TFileListObject::ScanFolder(const QString& path, const QDateTime& date, const QStringList& filters) {
  auto folder = std::make_shared<TFolderInfo>(TFolderInfo{path, date});
  FFolders.push_back(folder);
  FCanonicalFolders << QFileInfo(path).canonicalFilePath();
  QDir dir(path);
  dir.setNameFilters(filters);
  dir.setFilter(QDir::Files | QDir::NoSymLinks);
  dir.setSorting(QDir::Name);
  int added = 0;
  for (const QFileInfo& entry : dir.entryInfoList()) {
    FFiles.push_back(MakeAutoObject<TFileInfo>(folder, entry.fileName(), entry.lastModified(),
                                               static_cast<std::int64_t>(entry.size())));
    ++added;
  }
  return added;
}

std::int32_t TFileListObject::AddFiles(const QString& folder, const QString& mask, bool recursive) {
  const QString start = platform::IncludeTrailingSeparator(platform::NormalizeSeparators(folder));
  if (start.isEmpty() || !QFileInfo(start).isDir()) return 0;
  const QStringList filters = NameFilters(mask);
  TLock lock(FMutex);
  if (KnownFolder(start)) return 0;
  int added = 0;
  // Breadth-first with an explicit queue: deep trees cannot exhaust the stack.
  std::vector<QString> pending{start};
  for (size_t next = 0; next < pending.size(); ++next) {
    const QString path = pending[next];
    if (next > 0 && KnownFolder(path)) continue;
    added += ScanFolder(path, QFileInfo(path).lastModified(), filters);
    if (!recursive) break;
    QDir dir(path);
    dir.setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    dir.setSorting(QDir::Name);
    for (const QFileInfo& sub : dir.entryInfoList()) pending.push_back(path + sub.fileName() + QLatin1Char('/'));
  }
  return added;
}

void TFileListObject::RemoveAll() {
  TLock lock(FMutex);
  FFiles.clear();
  FFolders.clear();
  FCanonicalFolders.clear();
}

void TFileListObject::SortByName() {
  TLock lock(FMutex);
  std::stable_sort(FFiles.begin(), FFiles.end(), [](const auto& a, const auto& b) {
    return a->FileName().compare(b->FileName(), Qt::CaseInsensitive) < 0;
  });
}

void TFileListObject::SortBySize() {
  TLock lock(FMutex);
  std::stable_sort(FFiles.begin(), FFiles.end(), [](const auto& a, const auto& b) { return a->Size() < b->Size(); });
}

void TFileListObject::SortByDate() {
  TLock lock(FMutex);
  std::stable_sort(FFiles.begin(), FFiles.end(), [](const auto& a, const auto& b) {
    if (a->FileDate() != b->FileDate()) return a->FileDate() < b->FileDate();
    return a->FolderInfo().Date < b->FolderInfo().Date;
  });
}

void TFileListObject::Clear() {
  TLock lock(FMutex);
  for (const auto& file : FFiles) {
    file->SetSelected(false);
    file->SetGroup(0);
  }
}

std::int32_t TFileListObject::SelectDuplicates() {
  Clear();
  TLock lock(FMutex);
  if (FFiles.size() < 2) return 0;
  std::stable_sort(FFiles.begin(), FFiles.end(), [](const auto& a, const auto& b) { return a->Size() < b->Size(); });
  std::int32_t sets = 0;
  std::int32_t selected = 0;
  for (size_t runStart = 0; runStart < FFiles.size();) {
    size_t runEnd = runStart + 1;
    while (runEnd < FFiles.size() && FFiles[runEnd]->Size() == FFiles[runStart]->Size()) ++runEnd;
    if (runEnd - runStart >= 2) {
      // Files that cannot be read have no digest and take part in no set.
      struct TEntry {
        ComPtr<TFileInfo> File;
        QByteArray Digest;
        bool Ok;
      };
      std::vector<TEntry> run;
      for (size_t i = runStart; i < runEnd; ++i) {
        TEntry entry{FFiles[i], {}, false};
        entry.Ok = entry.File->Digest(entry.Digest);
        run.push_back(std::move(entry));
      }
      std::stable_sort(run.begin(), run.end(), [](const TEntry& a, const TEntry& b) {
        if (a.Digest != b.Digest) return a.Digest < b.Digest;
        return a.File->FileDate() < b.File->FileDate();
      });
      size_t anchor = 0;
      for (size_t i = 1; i < run.size(); ++i) {
        if (run[anchor].Ok && run[i].Ok && run[i].Digest == run[anchor].Digest) {
          if (!run[anchor].File->Selected()) {
            run[anchor].File->SetSelected(true);
            run[anchor].File->SetGroup(++sets);
            ++selected;
          }
          run[i].File->SetSelected(true);
          run[i].File->SetGroup(run[anchor].File->Group());
          ++selected;
        } else {
          anchor = i;
        }
      }
      for (size_t i = 0; i < run.size(); ++i) FFiles[runStart + i] = run[i].File;
    }
    runStart = runEnd;
  }
  return selected;
}

TFileListObject::TFiles TFileListObject::SelectedFiles() {
  TLock lock(FMutex);
  TFiles selected;
  for (const auto& file : FFiles) {
    if (file->Selected()) selected.push_back(file);
  }
  return selected;
}

std::int32_t TFileListObject::MoveSelection(const QString& folder) {
  const QString target = platform::IncludeTrailingSeparator(platform::NormalizeSeparators(folder));
  if (target.isEmpty() || !QFileInfo(target).isDir()) return 0;
  std::int32_t moved = 0;
  int counter = 0;
  int tries = 0;
  for (const auto& file : SelectedFiles()) {
    const QString source = file->FileName();
    if (!QFileInfo::exists(source)) continue;
    const QString name = file->Name();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    // QFile::rename refuses an existing target and copies across file systems.
    bool done = QFile::rename(source, target + name);
    while (!done && tries < kMaxNumberedNames) {
      const QString numbered = target + base + QString::number(counter++) + extension;
      ++tries;
      if (QFileInfo::exists(numbered)) continue;
      done = QFile::rename(source, numbered);
      // A free name that still fails means the move itself cannot succeed.
      if (!done) break;
    }
    if (done) ++moved;
  }
  return moved;
}

std::int32_t TFileListObject::DeleteSelection(bool toTrash) {
  // The home trash lives in the data folder, which a fresh account may not have yet.
  if (toTrash) QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
  std::int32_t deleted = 0;
  for (const auto& file : SelectedFiles()) {
    const QString name = file->FileName();
    if (toTrash ? QFile::moveToTrash(name) : QFile::remove(name)) ++deleted;
  }
  return deleted;
}

ComPtr<TFileInfo> TFileListObject::Files(std::int32_t index) {
  TLock lock(FMutex);
  if (index < 0 || static_cast<size_t>(index) >= FFiles.size()) {
    throw EAutoObjectError(QStringLiteral("There is no file %1 in a list of %2").arg(index).arg(FFiles.size()));
  }
  return FFiles[static_cast<size_t>(index)];
}

std::int32_t TFileListObject::Length() {
  TLock lock(FMutex);
  return static_cast<std::int32_t>(FFiles.size());
}

}  // namespace pw
