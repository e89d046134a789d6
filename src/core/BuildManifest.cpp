#include "core/BuildManifest.h"

#include "generator/OutputFile.h"
#include "platform/FileIO.h"
#include "platform/ParallelFor.h"
#include "platform/Paths.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <functional>
#include <string>
#include <vector>

namespace pw {

namespace {

constexpr char kHeader[] = "pagewick-build 2";

// A template folder with more entries than this is not worth stamping: no manifest is kept.
constexpr qsizetype kMaxTemplateEntries = 100000;

using platform::TFileStamp;

// Examines files given relative to folder, several threads at once, each looking names up in
// an open folder rather than walking the whole path again. False when one cannot be examined
// or is not a regular file.
// Stamps already known are kept.
bool StampFiles(const QString& folder, const std::vector<std::string>& names, std::vector<TFileStamp>& stamps) {
  stamps.resize(names.size());
  const std::string root = QFile::encodeName(folder).toStdString();
  constexpr size_t kChunk = 512;
  const size_t chunks = (names.size() + kChunk - 1) / kChunk;
  std::atomic<bool> ok{true};
  platform::ParallelFor(chunks, [&](size_t chunk) {
    std::string openFolder;
    int dir = -1;
    for (size_t i = chunk * kChunk; i < std::min(names.size(), (chunk + 1) * kChunk) && ok; ++i) {
      if (stamps[i].Known()) continue;
      const std::string& name = names[i];
      const size_t slash = name.rfind('/');
      const std::string sub = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
      if (dir < 0 || sub != openFolder) {
        if (dir >= 0) ::close(dir);
        dir = ::open((root + sub).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        openFolder = sub;
      }
      struct stat info;
      if (dir < 0 || ::fstatat(dir, name.c_str() + sub.size(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
          !S_ISREG(info.st_mode)) {
        ok = false;
        break;
      }
      stamps[i] = {info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_ino};
    }
    if (dir >= 0) ::close(dir);
  });
  return ok;
}

}  // namespace

TBuildManifest::TBuildManifest(const QString& projectFolder, const QString& outputFolder)
    : FFolder(platform::IncludeTrailingSeparator(outputFolder)) {
  if (projectFolder.isEmpty()) return;
  const QByteArray digest = QCryptographicHash::hash(FFolder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  FPath = platform::IncludeTrailingSeparator(projectFolder) + QStringLiteral(".pagewick-build-") +
          QString::fromLatin1(digest);
}

QByteArray TBuildManifest::InputsKey(std::string_view content, const QString& templateFolder, const QStringList& settings) {
  QCryptographicHash hash(QCryptographicHash::Sha1);
  // The program: another version may write other bytes from the same inputs.
  const QFileInfo program(QStringLiteral("/proc/self/exe"));
  const QFileInfo binary(program.symLinkTarget());
  hash.addData(QStringLiteral("%1 %2 %3\n")
                   .arg(binary.filePath())
                   .arg(binary.size())
                   .arg(binary.lastModified().toMSecsSinceEpoch())
                   .toUtf8());
  for (const QString& setting : settings) hash.addData((setting + QLatin1Char('\n')).toUtf8());
  // The content text is most of what is hashed: a 64-bit hash of it, several times faster than
  // the digest, goes into the key. It only tells this project's texts from each other.
  hash.addData(QStringLiteral("%1 %2\n")
                   .arg(content.size())
                   .arg(static_cast<qulonglong>(std::hash<std::string_view>{}(content)))
                   .toUtf8());
  // Templates may be links to files or folders elsewhere: what they lead to is what a build
  // reads, so links are followed and their targets stamped too.
  QStringList entries;
  QDirIterator it(templateFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
  while (it.hasNext()) {
    if (entries.size() > kMaxTemplateEntries) return {};
    const QByteArray path = QFile::encodeName(it.next());
    struct stat link;
    struct stat target;
    if (::lstat(path.constData(), &link) != 0) continue;
    if (::stat(path.constData(), &target) != 0) target = link;
    entries << QStringLiteral("%1 %2 %3.%4 %5 %6 %7.%8")
                   .arg(QFile::decodeName(path))
                   .arg(target.st_size)
                   .arg(target.st_mtim.tv_sec)
                   .arg(target.st_mtim.tv_nsec)
                   .arg(target.st_mode)
                   .arg(link.st_ino)
                   .arg(link.st_mtim.tv_sec)
                   .arg(link.st_mtim.tv_nsec);
  }
  entries.sort();
  hash.addData(entries.join(QLatin1Char('\n')).toUtf8());
  return hash.result().toHex();
}

bool TBuildManifest::Matches(const QByteArray& key, QStringList* files) const {
  // An output folder that has gone holds none of the files: no need to read the list.
  if (FPath.isEmpty() || ::access(QFile::encodeName(FFolder).constData(), F_OK) != 0) return false;
  std::string text;
  if (!platform::ReadWholeFile(FPath, text)) return false;
  std::vector<std::string> names;
  std::vector<TFileStamp> recorded;
  size_t pos = 0;
  auto nextLine = [&](std::string_view& line) {
    if (pos >= text.size()) return false;
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) return false;  // a manifest cut short is no manifest
    line = std::string_view(text).substr(pos, end - pos);
    pos = end + 1;
    return true;
  };
  std::string_view line;
  if (!nextLine(line) || line != kHeader) return false;
  if (!nextLine(line) || line != std::string_view(key.constData(), static_cast<size_t>(key.size()))) return false;
  bool ended = false;
  while (nextLine(line)) {
    // A manifest cut short at a line's end would pass for one of fewer files: the last line
    // says how many it lists.
    if (line.starts_with("end ")) {
      size_t count = 0;
      const auto [next, error] = std::from_chars(line.data() + 4, line.data() + line.size(), count);
      ended = error == std::errc() && next == line.data() + line.size() && count == names.size() && pos == text.size();
      break;
    }
    // "<size> <seconds> <nanoseconds> <inode> <name>"
    TFileStamp stamp;
    std::int64_t* numbers[] = {&stamp.Size, &stamp.Seconds, &stamp.Nanoseconds};
    const char* at = line.data();
    const char* end = line.data() + line.size();
    for (std::int64_t* number : numbers) {
      const auto [next, error] = std::from_chars(at, end, *number);
      if (error != std::errc() || next == end || *next != ' ') return false;
      at = next + 1;
    }
    const auto [next, error] = std::from_chars(at, end, stamp.Inode);
    if (error != std::errc() || next == end || *next != ' ' || next + 1 == end) return false;
    // Only names inside the output folder: a damaged or foreign list is no manifest.
    const std::string_view name(next + 1, static_cast<size_t>(end - next - 1));
    if (name.front() == '/' || name == ".." || name.starts_with("../") || name.find("/../") != std::string_view::npos ||
        name.ends_with("/.."))
      return false;
    recorded.push_back(stamp);
    names.emplace_back(name);
  }
  if (!ended) return false;
  std::vector<TFileStamp> now;
  if (!StampFiles(FFolder, names, now) || now != recorded) return false;
  if (files) {
    files->clear();
    for (const std::string& name : names) files->append(FFolder + QFile::decodeName(name.c_str()));
  }
  return true;
}

bool TBuildManifest::Store(const QByteArray& key, const QStringList& files,
                           const QHash<QString, TFileStamp>& known) const {
  if (FPath.isEmpty()) return false;
  std::vector<std::string> names;
  std::vector<TFileStamp> stamps;
  names.reserve(static_cast<size_t>(files.size()));
  stamps.reserve(static_cast<size_t>(files.size()));
  for (const QString& file : files) {
    // Only files of the folder, one a line, and never the manifest itself.
    if (!file.startsWith(FFolder) || file == FPath || file.contains(QLatin1Char('\n')) ||
        file.contains(QLatin1Char('\r'))) {
      Forget();
      return false;
    }
    names.push_back(QFile::encodeName(file.mid(FFolder.size())).toStdString());
    stamps.push_back(known.value(file));
  }
  if (!StampFiles(FFolder, names, stamps)) {
    Forget();
    return false;
  }
  std::string text = std::string(kHeader) + '\n' + key.toStdString() + '\n';
  char numbers[96];
  for (size_t i = 0; i < names.size(); ++i) {
    std::snprintf(numbers, sizeof numbers, "%lld %lld %lld %llu ", static_cast<long long>(stamps[i].Size),
                  static_cast<long long>(stamps[i].Seconds), static_cast<long long>(stamps[i].Nanoseconds),
                  static_cast<unsigned long long>(stamps[i].Inode));
    text += numbers;
    text += names[i];
    text += '\n';
  }
  text += "end " + std::to_string(names.size()) + '\n';
  // Like an output file, without waiting for the disk: a manifest lost to a crash only makes the
  // next build a whole one.
  if (WriteOutputFile(FPath, text)) return true;
  Forget();
  return false;
}

void TBuildManifest::Forget() const {
  if (!FPath.isEmpty()) ::unlink(QFile::encodeName(FPath).constData());
}

}  // namespace pw
