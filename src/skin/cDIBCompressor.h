// Pluggable compressors for stored image data: the GUID that identifies a compressor,
// the compressor base class, the process-wide registry and the current compressor.
#pragma once

#include "skin/cDIB.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Raised when stored image data names a compressor that is not registered.
class EDIBCompressError : public EDIBError {
public:
  using EDIBError::EDIBError;
};

// A GUID in its binary layout: 32-bit, 16-bit, 16-bit (little-endian when stored), 8 bytes.
struct TGUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  uint8_t D4[8] = {};

  static constexpr size_t StoredSize = 16;

  // Registry-string form: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper-case hex.
  std::string ToString() const;
  // Parses the registry-string form (either letter case); nullopt when malformed.
  static std::optional<TGUID> FromString(std::string_view text);
  void Store(uint8_t* out) const;
  static TGUID Load(const uint8_t* in);

  friend bool operator==(const TGUID&, const TGUID&) = default;
};

class TAbstractDIBCompressor {
public:
  virtual ~TAbstractDIBCompressor() = default;

  virtual TGUID GetIdentifier() const = 0;
  virtual bool HandlesIdentifier(const TGUID& identifier) const = 0;
  // Compresses sourceLength bytes into destination (sourceLength bytes of room). Returns the
  // number of bytes written, or 0 when the data cannot be made shorter than or as long as
  // the source. image may be null.
  virtual size_t Compress(const TAbstractSuperDIB* image, const uint8_t* source,
                          size_t sourceLength, uint8_t* destination) = 0;
  // Expands compressedLength bytes of source into destination (rawLength bytes of room) and
  // never writes beyond rawLength. Returns how many leading bytes of destination hold
  // expanded data: rawLength for a complete stream, fewer for a truncated one.
  virtual size_t Decompress(const TAbstractSuperDIB* image, const TGUID& identifier,
                            size_t rawLength, size_t compressedLength, uint8_t* destination,
                            const uint8_t* source) = 0;
  virtual std::string Name() const = 0;
  virtual std::string Description() const { return "No information supplied"; }
  virtual std::string Author() const { return "No information supplied"; }
  virtual std::string ContactAddress() const { return {}; }
  virtual std::string WebAddress() const { return {}; }
  // The largest raw length that compressedLength bytes of this compressor's output can
  // describe; a stored block that declares more is corrupt.
  virtual uint64_t MaxExpandedLength(size_t compressedLength) const = 0;

protected:
  // Shared by the compressors: exact comparison of the registry-string forms.
  bool SameIdentifier(const TGUID& identifier) const {
    return identifier.ToString() == GetIdentifier().ToString();
  }
};

// The registry holds "Shuffle4 RLE" and then "DIB LZH" from its first use on; further
// compressors are appended. The registry owns them until the process ends.
void RegisterDIBCompressor(std::unique_ptr<TAbstractDIBCompressor> compressor);
std::vector<TAbstractDIBCompressor*> RegisteredDIBCompressors();
// Last registered first; the first whose HandlesIdentifier answers true, or null.
TAbstractDIBCompressor* FindDIBCompressor(const TGUID& identifier);
// Last registered first; exact comparison with each identifier's registry-string form.
TAbstractDIBCompressor* FindDIBCompressorByString(std::string_view identifier);

// The compressor used when image data is written; null (none) at start.
TAbstractDIBCompressor* CurrentDIBCompressor();
void SetCurrentDIBCompressor(TAbstractDIBCompressor* compressor);
