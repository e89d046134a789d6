// DigestFiles: the MD5 digests of many files at once, as the changes-only upload compares
// them. The digest of a file is the MD5 of its bytes, written as 32 lowercase hex digits.
//
// Hashing a site's files is nearly all the work of a changes-only run with nothing to send, so
// the files are hashed side by side: on every core, and on processors with 256-bit vector
// units sixteen files at a time on each core, one file in each 32-bit lane of two sets of
// vector registers. MD5 itself cannot be split within one file, but independent files can
// share the work.
//
// Stateless; safe from any thread. The threads it starts end before it returns.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace pw {

struct TFileDigest {
  QString Digest;  // 32 lowercase hex digits; empty when the file could not be read
  QString Error;   // why it could not be read
  bool Readable = false;
};

// How the files are hashed: one at a time per thread, or sixteen at a time per thread in the
// lanes of AVX2 or of AVX-512 (which rotates and mixes in one instruction each).
enum class TDigestEngine { deOneByOne, deLanesAvx2, deLanesAvx512 };

// Whether this processor can run the engine; deOneByOne runs everywhere.
bool DigestEngineSupported(TDigestEngine engine);
// The fastest engine this processor runs.
TDigestEngine BestDigestEngine();

// One result per path, in the order of paths. threads caps the threads used (0: one per core).
// An engine the processor cannot run falls back to deOneByOne.
std::vector<TFileDigest> DigestFiles(const QStringList& paths, TDigestEngine engine = BestDigestEngine(),
                                     int threads = 0);

}  // namespace pw
