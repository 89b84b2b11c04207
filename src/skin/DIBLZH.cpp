#include "skin/DIBLZH.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr int N = 4096;                     // ring size
constexpr int F = 60;                       // longest match
constexpr int THRESHOLD = 2;                // matches up to this length are coded as literals
constexpr int NIL = N;                      // no node
constexpr int N_CHAR = 256 - THRESHOLD + F; // 314 symbols
constexpr int T = N_CHAR * 2 - 1;           // 627 tree nodes
constexpr int R = T - 1;                    // root
constexpr unsigned MAX_FREQ = 0x8000;

// Fixed prefix code of the upper six bits of a position: code lengths by value, codes
// assigned canonically in increasing order of the value.
struct TPositionCode {
  std::array<uint8_t, 64> Len{};
  std::array<uint8_t, 64> Code{}; // right-aligned
  std::array<uint8_t, 256> DecodeValue{};
  std::array<uint8_t, 256> DecodeLen{};

  TPositionCode() {
    for (int v = 0; v < 64; ++v)
      Len[v] = v < 1 ? 3 : v < 4 ? 4 : v < 12 ? 5 : v < 24 ? 6 : v < 48 ? 7 : 8;
    unsigned code = 0;
    for (int v = 0; v < 64; ++v) {
      if (v > 0)
        code = (code + 1) << (Len[v] - Len[v - 1]);
      Code[v] = uint8_t(code);
      const unsigned first = code << (8 - Len[v]);
      const unsigned count = 1u << (8 - Len[v]);
      for (unsigned b = first; b < first + count; ++b) {
        DecodeValue[b] = uint8_t(v);
        DecodeLen[b] = Len[v];
      }
    }
  }
};

const TPositionCode& PositionCode() {
  static const TPositionCode table;
  return table;
}

// The adaptive Huffman tree shared by encoder and decoder.
struct THuffman {
  std::array<unsigned, T + 1> freq{};
  std::array<int, T + N_CHAR> parent{};
  std::array<int, T> son{};

  THuffman() {
    for (int i = 0; i < N_CHAR; ++i) {
      freq[i] = 1;
      son[i] = i + T;
      parent[i + T] = i;
    }
    for (int i = 0, j = N_CHAR; j <= R; i += 2, ++j) {
      freq[j] = freq[i] + freq[i + 1];
      son[j] = i;
      parent[i] = parent[i + 1] = j;
    }
    freq[T] = 0xFFFF;
    parent[R] = 0;
  }

  void Rebuild() {
    int j = 0;
    for (int i = 0; i < T; ++i)
      if (son[i] >= T) {
        freq[j] = (freq[i] + 1) / 2;
        son[j] = son[i];
        ++j;
      }
    for (int i = 0, jj = N_CHAR; jj < T; i += 2, ++jj) {
      const unsigned f = freq[i] + freq[i + 1];
      int k = jj - 1;
      while (k >= 0 && f < freq[k])
        --k;
      ++k;
      std::copy_backward(freq.begin() + k, freq.begin() + jj, freq.begin() + jj + 1);
      freq[k] = f;
      std::copy_backward(son.begin() + k, son.begin() + jj, son.begin() + jj + 1);
      son[k] = i;
    }
    for (int i = 0; i < T; ++i) {
      const int k = son[i];
      if (k >= T)
        parent[k] = i;
      else
        parent[k] = parent[k + 1] = i;
    }
  }

  void Update(int symbol) {
    if (freq[R] == MAX_FREQ)
      Rebuild();
    int c = parent[symbol + T];
    do {
      const unsigned k = ++freq[c];
      int l = c + 1;
      if (k > freq[l]) {
        while (k > freq[++l]) {
        }
        --l;
        freq[c] = freq[l];
        freq[l] = k;
        const int i = son[c];
        parent[i] = l;
        if (i < T)
          parent[i + 1] = l;
        const int j = son[l];
        son[l] = i;
        parent[j] = c;
        if (j < T)
          parent[j + 1] = c;
        son[c] = j;
        c = l;
      }
    } while ((c = parent[c]) != 0);
  }
};

class TBitWriter {
public:
  TBitWriter(uint8_t* out, size_t capacity) : FOut(out), FCapacity(capacity) {}

  void Put(unsigned bits, int count) { // the lowest count bits of bits, highest first
    for (int b = count - 1; b >= 0; --b)
      PutBit((bits >> b) & 1);
  }
  void PutBit(unsigned bit) {
    FBuf = uint8_t(FBuf << 1 | bit);
    if (++FLen == 8)
      Emit();
  }
  void Flush() {
    if (FLen > 0) {
      FBuf = uint8_t(FBuf << (8 - FLen));
      Emit();
    }
  }
  size_t Written() const { return FPos; }

private:
  void Emit() {
    if (FPos >= FCapacity)
      throw ElzhException("Compressed file is larger than the original.");
    FOut[FPos++] = FBuf;
    FBuf = 0;
    FLen = 0;
  }

  uint8_t* FOut;
  size_t FCapacity;
  size_t FPos = 0;
  uint8_t FBuf = 0;
  int FLen = 0;
};

class TBitReader {
public:
  TBitReader(const uint8_t* in, size_t length) : FIn(in), FBits(uint64_t(length) * 8) {}

  // Bits past the end read as zero.
  unsigned Bit() {
    const uint64_t p = FPos++;
    if (p >= FBits)
      return 0;
    return (FIn[p >> 3] >> (7 - (p & 7))) & 1;
  }
  unsigned Bits(int count) {
    unsigned v = 0;
    while (count-- > 0)
      v = v << 1 | Bit();
    return v;
  }
  unsigned Peek8() const {
    unsigned v = 0;
    for (uint64_t p = FPos; p < FPos + 8; ++p)
      v = v << 1 | (p < FBits ? (FIn[p >> 3] >> (7 - (p & 7))) & 1 : 0);
    return v;
  }
  void Skip(int count) { FPos += unsigned(count); }
  bool Overrun() const { return FPos > FBits; }

private:
  const uint8_t* FIn;
  uint64_t FBits;
  uint64_t FPos = 0;
};

// LZSS match finder: one binary search tree per first byte over the ring positions.
struct TMatcher {
  std::array<uint8_t, N + F - 1> text{};
  std::array<int, N + 1> lson{};
  std::array<int, N + 257> rson{};
  std::array<int, N + 1> dad{};
  int matchPosition = 0;
  int matchLength = 0;

  TMatcher() {
    for (int i = N + 1; i <= N + 256; ++i)
      rson[i] = NIL;
    for (int i = 0; i < N; ++i)
      dad[i] = NIL;
  }

  void InsertNode(int r) {
    int cmp = 1;
    const uint8_t* key = &text[r];
    int p = N + 1 + key[0];
    rson[r] = lson[r] = NIL;
    matchLength = 0;
    for (;;) {
      if (cmp >= 0) {
        if (rson[p] != NIL) {
          p = rson[p];
        } else {
          rson[p] = r;
          dad[r] = p;
          return;
        }
      } else {
        if (lson[p] != NIL) {
          p = lson[p];
        } else {
          lson[p] = r;
          dad[r] = p;
          return;
        }
      }
      int i = 1;
      for (; i < F; ++i)
        if ((cmp = key[i] - text[p + i]) != 0)
          break;
      if (i > THRESHOLD) {
        const int j = ((r - p) & (N - 1)) - 1;
        if (i > matchLength) {
          matchPosition = j;
          if ((matchLength = i) >= F)
            break;
        } else if (i == matchLength && j < matchPosition) {
          matchPosition = j;
        }
      }
    }
    dad[r] = dad[p];
    lson[r] = lson[p];
    rson[r] = rson[p];
    dad[lson[p]] = r;
    dad[rson[p]] = r;
    if (rson[dad[p]] == p)
      rson[dad[p]] = r;
    else
      lson[dad[p]] = r;
    dad[p] = NIL;
  }

  void DeleteNode(int p) {
    if (dad[p] == NIL)
      return;
    int q;
    if (rson[p] == NIL) {
      q = lson[p];
    } else if (lson[p] == NIL) {
      q = rson[p];
    } else {
      q = lson[p];
      if (rson[q] != NIL) {
        do {
          q = rson[q];
        } while (rson[q] != NIL);
        rson[dad[q]] = lson[q];
        dad[lson[q]] = dad[q];
        lson[q] = lson[p];
        dad[lson[p]] = q;
      }
      rson[q] = rson[p];
      dad[rson[p]] = q;
    }
    dad[q] = dad[p];
    if (rson[dad[p]] == p)
      rson[dad[p]] = q;
    else
      lson[dad[p]] = q;
    dad[p] = NIL;
  }
};

template <class TTables> std::unique_ptr<TTables> AllocateTables() {
  try {
    return std::make_unique<TTables>();
  } catch (const std::bad_alloc&) {
    throw ElzhException("LZH : Cannot get memory for dictionary tables");
  }
}

struct TEncoderTables {
  THuffman Huffman;
  TMatcher Matcher;
};

struct TDecoderTables {
  THuffman Huffman;
  std::array<uint8_t, N> Ring{};
};

void EncodeChar(THuffman& h, TBitWriter& out, int symbol) {
  // Collect the path from the leaf up to the root; the bit nearest the root goes first.
  std::array<uint8_t, T> path;
  int depth = 0;
  int k = h.parent[symbol + T];
  do {
    path[depth++] = uint8_t(k & 1);
  } while ((k = h.parent[k]) != R);
  while (depth > 0)
    out.PutBit(path[--depth]);
  h.Update(symbol);
}

void EncodePosition(TBitWriter& out, int position) {
  const TPositionCode& pc = PositionCode();
  const int upper = position >> 6;
  out.Put(pc.Code[upper], pc.Len[upper]);
  out.Put(unsigned(position & 0x3F), 6);
}

} // namespace

size_t LzhEncode(const uint8_t* source, size_t length, uint8_t* destination, size_t capacity) {
  if (length > 0xFFFFFFFFu)
    throw ElzhException("Compressed file is larger than the original.");
  if (capacity < 4)
    throw ElzhException("Compressed file is larger than the original.");
  for (int i = 0; i < 4; ++i)
    destination[i] = uint8_t(length >> (8 * i));
  TBitWriter out(destination + 4, capacity - 4);
  if (length == 0) {
    out.Flush();
    return 4 + out.Written();
  }
  auto tables = AllocateTables<TEncoderTables>();
  THuffman& huff = tables->Huffman;
  TMatcher& m = tables->Matcher;
  size_t in = 0;
  int s = 0, r = N - F;
  std::fill(m.text.begin(), m.text.begin() + r, uint8_t(' '));
  std::fill(m.text.begin() + N, m.text.end(), uint8_t(' '));
  int len = 0;
  for (; len < F && in < length; ++len)
    m.text[r + len] = source[in++];
  for (int i = 1; i <= F; ++i)
    m.InsertNode(r - i);
  m.InsertNode(r);
  do {
    if (m.matchLength > len)
      m.matchLength = len;
    if (m.matchLength <= THRESHOLD) {
      m.matchLength = 1;
      EncodeChar(huff, out, m.text[r]);
    } else {
      EncodeChar(huff, out, 255 - THRESHOLD + m.matchLength);
      EncodePosition(out, m.matchPosition);
    }
    const int lastMatchLength = m.matchLength;
    int i = 0;
    for (; i < lastMatchLength && in < length; ++i) {
      const uint8_t c = source[in++];
      m.DeleteNode(s);
      m.text[s] = c;
      if (s < F - 1)
        m.text[s + N] = c;
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      m.InsertNode(r);
    }
    while (i++ < lastMatchLength) {
      m.DeleteNode(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len)
        m.InsertNode(r);
    }
  } while (len > 0);
  out.Flush();
  return 4 + out.Written();
}

size_t LzhDecode(const uint8_t* source, size_t length, uint8_t* destination, size_t limit) {
  if (length < 4)
    return 0;
  const uint64_t count = uint64_t(source[0]) | uint64_t(source[1]) << 8 |
                         uint64_t(source[2]) << 16 | uint64_t(source[3]) << 24;
  const uint64_t target = std::min<uint64_t>(count, limit);
  if (target == 0)
    return 0;
  auto tables = AllocateTables<TDecoderTables>();
  THuffman& huff = tables->Huffman;
  std::array<uint8_t, N>& ring = tables->Ring;
  std::fill(ring.begin(), ring.begin() + (N - F), uint8_t(' '));
  TBitReader in(source + 4, length - 4);
  const TPositionCode& pc = PositionCode();
  int r = N - F;
  uint64_t produced = 0;
  while (produced < target) {
    int c = huff.son[R];
    while (c < T)
      c = huff.son[c + int(in.Bit())];
    c -= T;
    huff.Update(c);
    if (c < 256) {
      if (in.Overrun())
        break;
      destination[produced++] = uint8_t(c);
      ring[r] = uint8_t(c);
      r = (r + 1) & (N - 1);
      continue;
    }
    const unsigned peek = in.Peek8();
    in.Skip(pc.DecodeLen[peek]);
    const int position = pc.DecodeValue[peek] << 6 | int(in.Bits(6));
    if (in.Overrun())
      break;
    const int from = (r - position - 1) & (N - 1);
    const int matchLength = c - 255 + THRESHOLD;
    for (int k = 0; k < matchLength; ++k) {
      const uint8_t b = ring[(from + k) & (N - 1)];
      if (produced < target)
        destination[produced++] = b;
      ring[r] = b;
      r = (r + 1) & (N - 1);
    }
  }
  return size_t(produced);
}

size_t TLZHDIBCompressor::Compress(const TAbstractSuperDIB*, const uint8_t* source,
                                   size_t sourceLength, uint8_t* destination) {
  try {
    return LzhEncode(source, sourceLength, destination, sourceLength);
  } catch (...) {
    return 0;
  }
}

size_t TLZHDIBCompressor::Decompress(const TAbstractSuperDIB*, const TGUID&, size_t rawLength,
                                     size_t compressedLength, uint8_t* destination,
                                     const uint8_t* source) {
  return LzhDecode(source, compressedLength, destination, rawLength);
}

std::string TLZHDIBCompressor::Description() const {
  return "Uses LZH compression to compress the graphics,\r\n"
         "Compression is slow, decompression is not so slow, but the savings in size are very "
         "large.";
}
