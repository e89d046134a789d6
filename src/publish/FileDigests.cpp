#include "publish/FileDigests.h"

#include "platform/SystemError.h"

#include <QCryptographicHash>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define PW_DIGEST_LANES 1
#endif

namespace pw {
namespace {

constexpr qsizetype kChunk = 64 * 1024;  // a multiple of the 64-byte block
// Two groups of eight lanes: while one group's step waits for the previous step's result,
// the other's can run, since each step of MD5 depends on the one before.
constexpr int kGroups = 2;
constexpr int kLanes = 8 * kGroups;

QString HexDigest(const uint8_t* bytes) {
  return QString::fromLatin1(QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), 16).toHex());
}

// One open file read in chunks with plain system calls: a changes-only run opens every file
// of the site, so each file costs an open, a stat, its reads and a close, and nothing more.
class TChunkReader {
 public:
  ~TChunkReader() { Close(); }

  bool Open(const QString& path, QString* error) {
    Close();
    FPath = path;
    const QByteArray name = QFile::encodeName(path);
    // Without O_NONBLOCK a pipe that found its way into the folder would wait for a writer
    // forever; for regular files the flag changes nothing.
    do FFd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    while (FFd < 0 && errno == EINTR);
    if (FFd < 0) {
      const int code = errno;
      *error = QStringLiteral("Cannot open \"%1\": %2").arg(path, platform::SystemErrorText(code));
      return false;
    }
    struct stat info {};
    if (::fstat(FFd, &info) != 0 || !S_ISREG(info.st_mode)) {
      Close();
      *error = QStringLiteral("Cannot read \"%1\": not a regular file").arg(path);
      return false;
    }
    return true;
  }

  void Close() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
  }

  // Fills buffer up to capacity, short only at the end of the file; -1 on a read error.
  qsizetype Fill(uint8_t* buffer, qsizetype capacity, QString* error) {
    qsizetype length = 0;
    while (length < capacity) {
      const ssize_t n = ::read(FFd, buffer + length, static_cast<size_t>(capacity - length));
      if (n > 0) {
        length += n;
      } else if (n == 0) {
        break;
      } else if (const int code = errno; code != EINTR) {
        *error = QStringLiteral("Cannot read \"%1\": %2").arg(FPath, platform::SystemErrorText(code));
        return -1;
      }
    }
    return length;
  }

 private:
  QString FPath;
  int FFd = -1;
};

// Files are handed out one by one to whichever thread or lane is free next.
struct TWork {
  const QStringList& Paths;
  std::vector<TFileDigest>& Results;
  std::atomic<qsizetype> Next = 0;

  qsizetype Take() { return Next++; }
  void Fail(qsizetype index, const QString& error) {
    Results[static_cast<size_t>(index)].Error = error;
    Results[static_cast<size_t>(index)].Readable = false;
  }
};

void DigestOneByOne(TWork& work) {
  auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kChunk);
  TChunkReader reader;
  for (qsizetype index; (index = work.Take()) < work.Paths.size();) {
    QString error;
    if (!reader.Open(work.Paths[index], &error)) {
      work.Fail(index, error);
      continue;
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    qsizetype n;
    while ((n = reader.Fill(buffer.get(), kChunk, &error)) > 0) {
      hash.addData(QByteArrayView(reinterpret_cast<const char*>(buffer.get()), n));
      if (n < kChunk) break;
    }
    reader.Close();
    if (n < 0) {
      work.Fail(index, error);
      continue;
    }
    TFileDigest& result = work.Results[static_cast<size_t>(index)];
    result.Digest = HexDigest(reinterpret_cast<const uint8_t*>(hash.resultView().data()));
    result.Readable = true;
  }
}

#ifdef PW_DIGEST_LANES

// One file in one lane of the vector engine: its chunk of bytes, then the closing blocks that
// MD5 appends (0x80, zeros, the length in bits).
struct TLane {
  qsizetype File = -1;  // -1: idle
  TChunkReader Reader;
  std::unique_ptr<uint8_t[]> Buffer = std::make_unique_for_overwrite<uint8_t[]>(kChunk);
  qsizetype Length = 0, Position = 0;
  uint64_t Total = 0;  // bytes of the file read so far
  bool AtEnd = false;
  int PadBlocks = 0, PadNext = 0;  // closing blocks built, and the next one to hand out
  bool Last = false;               // the block just handed out closes the file
  uint8_t Pad[128];
};

const uint8_t kIdleBlock[64] = {};

// The next block of the lane's file; nullptr with error set when the file cannot be read.
const uint8_t* NextBlock(TLane& lane, QString* error) {
  if (lane.PadBlocks == 0) {
    if (lane.Length - lane.Position < 64 && !lane.AtEnd) {
      // Chunks are whole blocks, so only the file's tail is ever left over.
      const qsizetype rest = lane.Length - lane.Position;
      std::memmove(lane.Buffer.get(), lane.Buffer.get() + lane.Position, static_cast<size_t>(rest));
      const qsizetype n = lane.Reader.Fill(lane.Buffer.get() + rest, kChunk - rest, error);
      if (n < 0) return nullptr;
      lane.Length = rest + n;
      lane.Position = 0;
      lane.Total += static_cast<uint64_t>(n);
      lane.AtEnd = n < kChunk - rest;
    }
    if (lane.Length - lane.Position >= 64) {
      const uint8_t* block = lane.Buffer.get() + lane.Position;
      lane.Position += 64;
      return block;
    }
    const size_t rest = static_cast<size_t>(lane.Length - lane.Position);
    std::memset(lane.Pad, 0, sizeof lane.Pad);
    std::memcpy(lane.Pad, lane.Buffer.get() + lane.Position, rest);
    lane.Pad[rest] = 0x80;
    lane.PadBlocks = rest < 56 ? 1 : 2;
    const uint64_t bits = lane.Total * 8;
    for (int i = 0; i < 8; ++i) lane.Pad[lane.PadBlocks * 64 - 8 + i] = static_cast<uint8_t>(bits >> (8 * i));
    lane.PadNext = 0;
    lane.Reader.Close();
  }
  lane.Last = lane.PadNext + 1 == lane.PadBlocks;
  return lane.Pad + 64 * lane.PadNext++;
}

constexpr uint32_t kInit[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

constexpr uint32_t kK[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

// The states of the files in the lanes, one lane each.
struct alignas(32) TLaneStates {
  uint32_t A[kLanes], B[kLanes], C[kLanes], D[kLanes];
};

// Words 0-7 (or 8-15) of eight blocks, turned so that vector j holds word j of every lane.
__attribute__((target("avx2"))) inline void Transpose(const uint8_t* const* blocks, int offset, __m256i* m) {
  __m256i r[8];
  for (int i = 0; i < 8; ++i) r[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(blocks[i] + offset));
  const __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]), t1 = _mm256_unpackhi_epi32(r[0], r[1]);
  const __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]), t3 = _mm256_unpackhi_epi32(r[2], r[3]);
  const __m256i t4 = _mm256_unpacklo_epi32(r[4], r[5]), t5 = _mm256_unpackhi_epi32(r[4], r[5]);
  const __m256i t6 = _mm256_unpacklo_epi32(r[6], r[7]), t7 = _mm256_unpackhi_epi32(r[6], r[7]);
  const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
  m[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  m[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  m[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  m[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  m[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  m[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  m[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  m[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

// The 64 steps of one MD5 block: function, the four registers in turn, message word, constant,
// rotation.
#define PW_MD5_STEPS(STEP) \
  STEP(F, a, b, c, d, 0, 0, 7) \
  STEP(F, d, a, b, c, 1, 1, 12) \
  STEP(F, c, d, a, b, 2, 2, 17) \
  STEP(F, b, c, d, a, 3, 3, 22) \
  STEP(F, a, b, c, d, 4, 4, 7) \
  STEP(F, d, a, b, c, 5, 5, 12) \
  STEP(F, c, d, a, b, 6, 6, 17) \
  STEP(F, b, c, d, a, 7, 7, 22) \
  STEP(F, a, b, c, d, 8, 8, 7) \
  STEP(F, d, a, b, c, 9, 9, 12) \
  STEP(F, c, d, a, b, 10, 10, 17) \
  STEP(F, b, c, d, a, 11, 11, 22) \
  STEP(F, a, b, c, d, 12, 12, 7) \
  STEP(F, d, a, b, c, 13, 13, 12) \
  STEP(F, c, d, a, b, 14, 14, 17) \
  STEP(F, b, c, d, a, 15, 15, 22) \
  STEP(G, a, b, c, d, 1, 16, 5) \
  STEP(G, d, a, b, c, 6, 17, 9) \
  STEP(G, c, d, a, b, 11, 18, 14) \
  STEP(G, b, c, d, a, 0, 19, 20) \
  STEP(G, a, b, c, d, 5, 20, 5) \
  STEP(G, d, a, b, c, 10, 21, 9) \
  STEP(G, c, d, a, b, 15, 22, 14) \
  STEP(G, b, c, d, a, 4, 23, 20) \
  STEP(G, a, b, c, d, 9, 24, 5) \
  STEP(G, d, a, b, c, 14, 25, 9) \
  STEP(G, c, d, a, b, 3, 26, 14) \
  STEP(G, b, c, d, a, 8, 27, 20) \
  STEP(G, a, b, c, d, 13, 28, 5) \
  STEP(G, d, a, b, c, 2, 29, 9) \
  STEP(G, c, d, a, b, 7, 30, 14) \
  STEP(G, b, c, d, a, 12, 31, 20) \
  STEP(H, a, b, c, d, 5, 32, 4) \
  STEP(H, d, a, b, c, 8, 33, 11) \
  STEP(H, c, d, a, b, 11, 34, 16) \
  STEP(H, b, c, d, a, 14, 35, 23) \
  STEP(H, a, b, c, d, 1, 36, 4) \
  STEP(H, d, a, b, c, 4, 37, 11) \
  STEP(H, c, d, a, b, 7, 38, 16) \
  STEP(H, b, c, d, a, 10, 39, 23) \
  STEP(H, a, b, c, d, 13, 40, 4) \
  STEP(H, d, a, b, c, 0, 41, 11) \
  STEP(H, c, d, a, b, 3, 42, 16) \
  STEP(H, b, c, d, a, 6, 43, 23) \
  STEP(H, a, b, c, d, 9, 44, 4) \
  STEP(H, d, a, b, c, 12, 45, 11) \
  STEP(H, c, d, a, b, 15, 46, 16) \
  STEP(H, b, c, d, a, 2, 47, 23) \
  STEP(I, a, b, c, d, 0, 48, 6) \
  STEP(I, d, a, b, c, 7, 49, 10) \
  STEP(I, c, d, a, b, 14, 50, 15) \
  STEP(I, b, c, d, a, 5, 51, 21) \
  STEP(I, a, b, c, d, 12, 52, 6) \
  STEP(I, d, a, b, c, 3, 53, 10) \
  STEP(I, c, d, a, b, 10, 54, 15) \
  STEP(I, b, c, d, a, 1, 55, 21) \
  STEP(I, a, b, c, d, 8, 56, 6) \
  STEP(I, d, a, b, c, 15, 57, 10) \
  STEP(I, c, d, a, b, 6, 58, 15) \
  STEP(I, b, c, d, a, 13, 59, 21) \
  STEP(I, a, b, c, d, 4, 60, 6) \
  STEP(I, d, a, b, c, 11, 61, 10) \
  STEP(I, c, d, a, b, 2, 62, 15) \
  STEP(I, b, c, d, a, 9, 63, 21)

// One MD5 block for each lane; ROTL, F, G, H and I are those of the processor.
#define PW_COMPRESS_LANES(s, blocks)                                                             \
  __m256i m[kGroups][16], a[kGroups], b[kGroups], c[kGroups], d[kGroups];                      \
  __m256i a0[kGroups], b0[kGroups], c0[kGroups], d0[kGroups];                                  \
  for (int g = 0; g < kGroups; ++g) {                                                          \
    Transpose(blocks + 8 * g, 0, m[g]);                                                        \
    Transpose(blocks + 8 * g, 32, m[g] + 8);                                                   \
    a[g] = a0[g] = _mm256_load_si256(reinterpret_cast<const __m256i*>(s.A + 8 * g));           \
    b[g] = b0[g] = _mm256_load_si256(reinterpret_cast<const __m256i*>(s.B + 8 * g));           \
    c[g] = c0[g] = _mm256_load_si256(reinterpret_cast<const __m256i*>(s.C + 8 * g));           \
    d[g] = d0[g] = _mm256_load_si256(reinterpret_cast<const __m256i*>(s.D + 8 * g));           \
  }                                                                                            \
  PW_MD5_STEPS(PW_STEP)                                                                        \
  for (int g = 0; g < kGroups; ++g) {                                                          \
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.A + 8 * g), _mm256_add_epi32(a[g], a0[g])); \
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.B + 8 * g), _mm256_add_epi32(b[g], b0[g])); \
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.C + 8 * g), _mm256_add_epi32(c[g], c0[g])); \
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.D + 8 * g), _mm256_add_epi32(d[g], d0[g])); \
  }

// The word and the constant go into a before f is known, which keeps the chain from one step
// to the next to f, one addition, the rotation and the addition of b.
#define PW_STEP(f, a, b, c, d, w, i, r)                                                          \
  _Pragma("GCC unroll 2") for (int g = 0; g < kGroups; ++g) a[g] = _mm256_add_epi32(             \
      b[g], ROTL(_mm256_add_epi32(_mm256_add_epi32(a[g], _mm256_add_epi32(m[g][w], _mm256_set1_epi32(kK[i]))), \
                 f(b[g], c[g], d[g])),                                                           \
                 r));

// AVX2 has neither rotations nor three-input logic: both are spelled out.
#define ROTL(x, n) _mm256_or_si256(_mm256_slli_epi32((x), (n)), _mm256_srli_epi32((x), 32 - (n)))
#define F(b, c, d) _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d)))
#define G(b, c, d) _mm256_xor_si256(c, _mm256_and_si256(d, _mm256_xor_si256(b, c)))
#define H(b, c, d) _mm256_xor_si256(_mm256_xor_si256(b, c), d)
#define I(b, c, d) _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, _mm256_set1_epi32(-1))))
__attribute__((target("avx2"))) void CompressLanesAvx2(TLaneStates& s, const uint8_t* const blocks[kLanes]) {
  PW_COMPRESS_LANES(s, blocks)
}
#undef ROTL
#undef F
#undef G
#undef H
#undef I

// AVX-512 on 256-bit registers: one instruction rotates, one computes each round's function
// (the immediates are the functions' truth tables).
#define ROTL(x, n) _mm256_rol_epi32((x), (n))
#define F(b, c, d) _mm256_ternarylogic_epi32(b, c, d, 0xca)
#define G(b, c, d) _mm256_ternarylogic_epi32(b, c, d, 0xe4)
#define H(b, c, d) _mm256_ternarylogic_epi32(b, c, d, 0x96)
#define I(b, c, d) _mm256_ternarylogic_epi32(b, c, d, 0x39)
__attribute__((target("avx2,avx512f,avx512vl"))) void CompressLanesAvx512(TLaneStates& s,
                                                                          const uint8_t* const blocks[kLanes]) {
  PW_COMPRESS_LANES(s, blocks)
}
#undef PW_STEP
#undef PW_COMPRESS_LANES
#undef PW_MD5_STEPS
#undef ROTL
#undef F
#undef G
#undef H
#undef I

using TCompressLanes = void (*)(TLaneStates&, const uint8_t* const[kLanes]);

// A file in every lane on this thread; a lane whose file ends takes the next one.
void DigestInLanes(TWork& work, TCompressLanes compress) {
  TLane lanes[kLanes];
  TLaneStates states;
  const uint8_t* blocks[kLanes];
  // Once the files are all handed out, idle lanes stop asking: the shared counter would
  // otherwise travel between the cores on every block of the last files.
  bool drained = false;
  for (;;) {
    bool busy = false;
    for (int i = 0; i < kLanes; ++i) {
      TLane& lane = lanes[i];
      const uint8_t* block = nullptr;
      while (!block) {
        if (lane.File < 0) {
          const qsizetype index = drained ? work.Paths.size() : work.Take();
          if (index >= work.Paths.size()) {
            drained = true;
            break;
          }
          QString error;
          if (!lane.Reader.Open(work.Paths[index], &error)) {
            work.Fail(index, error);
            continue;
          }
          lane.File = index;
          lane.Length = lane.Position = 0;
          lane.Total = 0;
          lane.AtEnd = false;
          lane.PadBlocks = 0;
          states.A[i] = kInit[0];
          states.B[i] = kInit[1];
          states.C[i] = kInit[2];
          states.D[i] = kInit[3];
        }
        QString error;
        block = NextBlock(lane, &error);
        if (!block) {
          lane.Reader.Close();
          work.Fail(lane.File, error);
          lane.File = -1;
        }
      }
      blocks[i] = block ? block : kIdleBlock;
      busy = busy || block;
    }
    if (!busy) return;
    compress(states, blocks);
    for (int i = 0; i < kLanes; ++i) {
      TLane& lane = lanes[i];
      if (lane.File < 0 || !lane.Last) continue;
      uint8_t digest[16];
      const uint32_t words[4] = {states.A[i], states.B[i], states.C[i], states.D[i]};
      for (int w = 0; w < 4; ++w) {
        for (int byte = 0; byte < 4; ++byte) digest[4 * w + byte] = static_cast<uint8_t>(words[w] >> (8 * byte));
      }
      TFileDigest& result = work.Results[static_cast<size_t>(lane.File)];
      result.Digest = HexDigest(digest);
      result.Readable = true;
      lane.File = -1;
      lane.Last = false;
    }
  }
}

bool EngineSupported(TDigestEngine engine) {
  switch (engine) {
    case TDigestEngine::deOneByOne: return true;
    case TDigestEngine::deLanesAvx2: return __builtin_cpu_supports("avx2");
    case TDigestEngine::deLanesAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
  }
  return false;
}

TCompressLanes LaneCompressor(TDigestEngine engine) {
  if (!EngineSupported(engine)) return nullptr;
  return engine == TDigestEngine::deLanesAvx512 ? CompressLanesAvx512
         : engine == TDigestEngine::deLanesAvx2 ? CompressLanesAvx2
                                                : nullptr;
}

#else

bool EngineSupported(TDigestEngine engine) { return engine == TDigestEngine::deOneByOne; }
using TCompressLanes = void*;
TCompressLanes LaneCompressor(TDigestEngine) { return nullptr; }
void DigestInLanes(TWork& work, TCompressLanes) { DigestOneByOne(work); }

#endif

}  // namespace

bool DigestEngineSupported(TDigestEngine engine) { return EngineSupported(engine); }

TDigestEngine BestDigestEngine() {
  static const TDigestEngine best = EngineSupported(TDigestEngine::deLanesAvx512) ? TDigestEngine::deLanesAvx512
                                    : EngineSupported(TDigestEngine::deLanesAvx2) ? TDigestEngine::deLanesAvx2
                                                                                  : TDigestEngine::deOneByOne;
  return best;
}

std::vector<TFileDigest> DigestFiles(const QStringList& paths, TDigestEngine engine, int threads) {
  std::vector<TFileDigest> results(static_cast<size_t>(paths.size()));
  TWork work{paths, results};
  const TCompressLanes compress = LaneCompressor(engine);
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  // A thread is worth starting only when it gets files enough to fill its lanes.
  const qsizetype perThread = compress ? kLanes : 1;
  const int count = static_cast<int>(
      std::clamp<qsizetype>((paths.size() + perThread - 1) / perThread, 1, threads > 0 ? threads : std::min(cores, 8)));
  auto run = [&work, compress] { compress ? DigestInLanes(work, compress) : DigestOneByOne(work); };
  std::vector<std::thread> helpers;
  for (int t = 1; t < count; ++t) helpers.emplace_back(run);
  run();
  for (std::thread& t : helpers) t.join();
  return results;
}

}  // namespace pw
