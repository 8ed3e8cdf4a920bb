// The one in-memory picture of a project that every stage works on: the
// character screen, the fonts, the per-line tables, the rendered bitmap, the
// colour tables and the scalars taken from the project header. Every buffer
// has a fixed size known before any file is read, so loading, rendering,
// reconstruction and export never allocate picture memory. One Workspace is
// made per run and handed by reference to every stage; a test makes a
// fresh one for each case.
//
// A fresh workspace is all zeros, and every type here has a trivial
// constructor, so that zeroed memory already is one: NewWorkspace() gets
// it from the system as untouched zero pages, which cost nothing until a
// stage writes them, where constructing one would write it all. Make one
// with NewWorkspace(), std::make_unique<Workspace>() or in static storage;
// never on the stack, which it would overflow, and never default-
// initialised, which leaves it unset.
#ifndef QDPEXT_WORKSPACE_WORKSPACE_H_
#define QDPEXT_WORKSPACE_WORKSPACE_H_

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>

namespace qdp {

// Geometry shared by every buffer.
inline constexpr int kScreenLines = 30;  // character lines of a screen
inline constexpr int kRowStride = 48;    // bytes per stored row, whatever the width
inline constexpr int kCharBytes = 8;     // one byte per pixel row
inline constexpr int kBitmapLines = kScreenLines * kCharBytes;  // 240 pixel lines
inline constexpr int kFontCount = 128;                          // fonts a bank can hold
inline constexpr int kCharsPerFont = 128;                       // characters per font
inline constexpr int kFontBytes = kCharsPerFont * kCharBytes;   // 1024
// The highest limit on new characters per font that a project may hold:
// code 0 is the blank every font keeps.
inline constexpr uint8_t kHighestCharsPerFontLimit = kCharsPerFont - 1;
inline constexpr int kFontBankBytes = kFontCount * kFontBytes;  // 131072
inline constexpr int kScreenBytes = kScreenLines * kRowStride;  // 1440
inline constexpr int kBitmapBytes = kBitmapLines * kRowStride;  // 11520
inline constexpr int kColourTableCount = 5;
inline constexpr int kColourTableBytes = 256;  // one entry per bitmap line, and 16 unused
inline constexpr int kPlayerColourTableCount = 4;
inline constexpr int kMaxBlocks = 63;  // distinct 16x16 blocks two fonts can hold

// Bits of a screen code: the character within the line's font, and the
// mark of a cell shown inverse.
inline constexpr uint8_t kCharNumberMask = 0x7F;
inline constexpr uint8_t kInverseBit = 0x80;

// Where row `row` (a screen line, or a bitmap pixel line) starts in the
// screen or the bitmap: every row is stored at the full stride.
constexpr int RowOffset(int row) { return row * kRowStride; }

// A distinct 16 x 16 block met by the block conversion: the hash that
// indexes it and its 32 bytes, the left byte column top to bottom, then the
// right one.
struct BlockEntry {
  uint32_t Hash;
  std::array<uint8_t, 32> Bytes;
};

// How the charset is rebuilt from the rendered bitmap once a project is in.
enum class ConversionKind : uint8_t {
  kNone,         // fonts, screen codes and line fonts stay as loaded
  kCharPerCell,  // every cell gets a character of its own
  kSharedChars,  // equal and complemented cells share a character, and a line
                 // may reuse a whole earlier font
  kBlocks16,     // distinct 16 x 16 blocks over two fonts that alternate by line
};

// How the machine shows a character line: the values of the project's
// per-line mode table.
enum class LineMode : uint8_t {
  kHiRes = 1,       // 1 bit a pixel
  kFourColour = 2,  // 2 bits a pixel, pixels 2 wide
  kGtia = 4,        // 4 bits a pixel, pixels 4 wide
  kBlank = 255,     // nothing shown; the line is left out of the exports
};

// What decided the conversion kind: the project header's conversion bits,
// or (when the header sets none) the project's layout.
enum class ConversionSource : uint8_t {
  kUndecided,  // no project has been accepted
  kHeaderBits,
  kLayout,
};

struct ConversionChoice {
  ConversionKind Kind;      // kNone when zero
  ConversionSource Source;  // kUndecided when zero
  bool operator==(const ConversionChoice&) const = default;
};

// One bit per font: which fonts hold a given pattern somewhere.
using FontMask = std::array<uint64_t, 2>;

// Scratch of the charset reconstruction. It lives here, sized for the worst
// case, so that reconstruction allocates nothing. An 8 x 8 pattern is held
// as the 64-bit value whose bytes are its rows, top row first in memory.
struct ReconstructScratch {
  uint8_t FillingFont;  // the font the cell conversion is filling
  uint8_t FontFill;     // characters in that font

  // Block conversion: the distinct blocks in order of entry. BlockCount
  // goes on counting past the table in the row that fails.
  std::array<BlockEntry, kMaxBlocks> BlockTable;
  int BlockCount;
  static constexpr int kBlockIndexSlots = 128;
  std::array<uint8_t, kBlockIndexSlots> BlockIndex;  // block number + 1, 0 = empty

  // Open-addressing indexes keyed by a hash of the pattern, each slot
  // holding a character number + 1 (0 = empty). Bytes are always compared
  // before a slot counts as a match: only identical patterns ever share a
  // character, even where their hashes collide.
  // CharIndex covers the font being filled; when a font is left it is
  // copied to FontIndex, since that font never changes again.
  static constexpr int kCharIndexSlots = 256;
  std::array<uint8_t, kCharIndexSlots> CharIndex;
  std::array<uint32_t, kCharsPerFont> CharHashes;  // of the font being filled
  std::array<std::array<uint8_t, kCharIndexSlots>, kFontCount> FontIndex;
  std::array<uint8_t, kFontCount> FontFillOf;  // characters each left font holds

  // Every non-blank pattern of the fonts already left, with the set of
  // those fonts that hold it, so that a line's candidate fonts are found
  // with one lookup per cell. Every stored pattern is a cell of the bitmap,
  // so at most 1440 distinct ones occur. A blank pattern is kept apart:
  // key 0 marks an empty slot.
  static constexpr int kPatternSlots = 4096;
  std::array<uint64_t, kPatternSlots> PatternKeys;
  std::array<FontMask, kPatternSlots> PatternFonts;
  FontMask BlankFonts;

  // The cells of the line being coded, gathered once per line.
  int CachedLine;
  std::array<uint64_t, kRowStride> LinePatterns;
  std::array<uint32_t, kRowStride> LineHashes;
};

// What the line font table said before the rebuild changed it (the
// header's own values stay in LastDeclaredFont and Conversion). Only
// reports read it; loading, conversion and export do not.
struct LoadRecord {
  std::array<uint8_t, kScreenLines> LineFonts;  // as loaded, bit 7 removed
};

struct Workspace {
  // Scalars taken from the header.
  uint8_t LineWidth;
  uint8_t CharacterMode;
  uint8_t LastDeclaredFont;  // the fonts in the file are 0 to this one
  ConversionChoice Conversion;
  uint8_t CharsPerFontLimit;
  // Set by reconstruction as its last step, whatever the conversion: the
  // highest font number that a line uses, the last font the exports need.
  uint8_t HighestFontInUse;

  // Picture buffers.
  std::array<uint8_t, kFontBankBytes> FontBank;
  // The screen codes: bits 0-6 the character in the line's font, bit 7 the
  // cell's inverse bit.
  std::array<uint8_t, kScreenBytes> Screen;
  // One mark per cell of Screen: the loaded code had bit 7 set and the
  // cell was not drawn inverse for it (character mode 2 draws no cell
  // inverse). The reader sets a mark for every bit 7; rendering clears the
  // marks of the cells it draws inverse, and a rebuild carries the marks
  // left over into the rebuilt codes' bit 7.
  std::array<bool, kScreenBytes> InverseMarks;
  std::array<uint8_t, kScreenLines> LineFontTable;
  // Bit 7 of each line's entry in the file: the line begins a new font
  // when the charset is rebuilt cell by cell.
  std::array<bool, kScreenLines> LineStartsNewFont;
  // Each line's mode, from the project's per-line table. The table is
  // taken only when every entry is a mode (LineModesValid); otherwise no
  // line counts as in use, and a picture shows every line in the header's
  // character mode. See LineInUse and ShownLineMode.
  std::array<LineMode, kScreenLines> LineModes;
  bool LineModesValid;
  std::array<uint8_t, kBitmapBytes> Bitmap;
  // The colour registers of every bitmap line: background, then playfield
  // colours 0 to 3; and the four player colours.
  std::array<uint8_t, kColourTableCount * kColourTableBytes> ColourTables;
  std::array<uint8_t, kPlayerColourTableCount * kColourTableBytes> PlayerColourTables;

  LoadRecord Loaded;

  // Scratch of the charset reconstruction.
  ReconstructScratch Reconstruct;
};

// Cells of a line that buffers hold: LineWidth, which an accepted project
// keeps at 32, 40 or 48, but never more than a stored row, so that no
// stage reads or writes outside a row whatever the width says.
inline int LineCells(const Workspace& ws) {
  return ws.LineWidth < kRowStride ? ws.LineWidth : kRowStride;
}

// Whether the exports include `line`. A line left out gets filler in .scr
// and nothing in .tab.
inline bool LineInUse(const Workspace& ws, int line) {
  return ws.LineModesValid && ws.LineModes[line] != LineMode::kBlank;
}

// The mode a picture shows `line` in: its own when the per-line table was
// taken, else the header's character mode.
inline LineMode ShownLineMode(const Workspace& ws, int line) {
  return ws.LineModesValid ? ws.LineModes[line] : static_cast<LineMode>(ws.CharacterMode);
}

// Zeroed memory is a fresh workspace only while this holds.
static_assert(std::is_trivially_default_constructible_v<Workspace>);

struct FreeWorkspace {
  void operator()(Workspace* ws) const noexcept { std::free(ws); }
};
using WorkspacePtr = std::unique_ptr<Workspace, FreeWorkspace>;

// A fresh workspace on the heap. Throws std::bad_alloc.
inline WorkspacePtr NewWorkspace() {
  // calloc hands out new zero pages for a block this size without writing
  // them; the zeros are the fresh workspace (see above).
  void* memory = std::calloc(1, sizeof(Workspace));
  if (memory == nullptr) throw std::bad_alloc();
  return WorkspacePtr(static_cast<Workspace*>(memory));
}

static_assert(sizeof(Workspace::FontBank) == 131072);
static_assert(sizeof(Workspace::Screen) == 1440 && sizeof(Workspace::Bitmap) == 11520);
static_assert(sizeof(Workspace::ColourTables) == 1280);

}  // namespace qdp

#endif  // QDPEXT_WORKSPACE_WORKSPACE_H_
