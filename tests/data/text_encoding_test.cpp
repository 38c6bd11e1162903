#include "data/text_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/section_file.h"

namespace fiberview {
namespace {

// Titles as structural models hold them, in UTF-8. Most of those without Chinese are also
// GBK-shaped bytes: Φ (CE A6) reads as 桅, α as 伪, С as 小, ° as 掳.
const char* const kUtf8Titles[] = {
    "KZ1 8Φ25",     "KZ2 4Φ25+4Φ22", "KL1 2Φ20/3Φ22", "Φ8@150/200",
    "φ10@100",      "α=0.85",        "β1=0.80",       "γ0=1.1",
    "δ=0.02",       "ε=0.0033",      "ζ=0.05",        "η=1.0",
    "θ=30°",        "κ=1.2",         "λ=12.5",        "μ=0.3",
    "ν=0.2",        "ξb=0.518",      "ρ=1.2%",        "σ=0.5fy",
    "π·r²",         "ΣAs=1964",      "Ψ=0.7",         "Ω2",
    "ΔL=5mm",       "Сила N=1200",   "Колонна К1",    "Стена 200",
    "Béton C30/37", "400×600",       "L=3.0m ±5",     "20°C",
    "Żelbet",       "Wł. 4Φ16",      "fy≤400",        "fc≥30",
    "∅600",         "⌀25",           "KZ1 → KZ2",     "4Φ25 ①",
    "Ø500",         "Ix=1.2×10⁹",    "Stütze Ü3",     "KZ1 8Φ25 框架柱",
    "墙A",
};

// Titles in GBK (bytes from iconv -t GBK) and how they read. Those up to 斜柱 are also
// well-formed UTF-8 by chance: 墙 (C7 BD) reads as ǽ, 圆 as Բ, 台 as a combining mark.
struct GbkTitle {
  const char* bytes;
  const char* text;
};
const GbkTitle kGbkTitles[] = {
    {"\xC7\xBD"
     "A",
     "墙A"},
    {"\xC7\xBD"
     "1",
     "墙1"},
    {"Q1\xC7\xBD", "Q1墙"},
    {"\xC7\xB0\xC7\xBD", "前墙"},
    {"\xC9\xBD\xC7\xBDW1", "山墙W1"},
    {"\xD7\xA9\xC7\xBD"
     "240",
     "砖墙240"},
    {"\xCA\xAF\xC7\xBD", "石墙"},
    {"\xCA\xB5\xC7\xBD", "实墙"},
    {"\xD4\xBA\xC7\xBD"
     "A",
     "院墙A"},
    {"\xD6\xB1\xC7\xBD", "直墙"},
    {"\xCB\xAB\xD6\xAB\xC7\xBD", "双肢墙"},
    {"\xC7\xBD\xD6\xAB"
     "1",
     "墙肢1"},
    {"\xD0\xB1\xC7\xBD", "斜墙"},
    {"\xD0\xA1\xC7\xBD", "小墙"},
    {"\xD4\xAD\xC7\xBD", "原墙"},
    {"\xD4\xB2"
     "1",
     "圆1"},
    {"\xD4\xB2Z1", "圆Z1"},
    {"\xD4\xB2\xD7\xAE", "圆桩"},
    {"\xD4\xB2\xCD\xB2"
     "A",
     "圆筒A"},
    {"\xC6\xBD\xCC\xA8", "平台"},
    {"\xD5\xBE\xCC\xA8", "站台"},
    {"\xCB\xAE\xC6\xBD", "水平"},
    {"\xC7\xB0\xC7\xBDQ2", "前墙Q2"},
    {"Q3-\xC7\xBD", "Q3-墙"},
    {"\xC7\xBD-200", "墙-200"},
    {"\xD0\xB1\xD6\xF9", "斜柱"},
    {"\xBF\xF2\xBC\xDC\xD6\xF9KZ1", "框架柱KZ1"},
    {"\xBC\xF4\xC1\xA6\xC7\xBDQ1", "剪力墙Q1"},
    {"\xC1\xAC\xC1\xBALL1", "连梁LL1"},
    {"\xB0\xB5\xD6\xF9"
     "AZ1",
     "暗柱AZ1"},
    {"\xB9\xB9\xD4\xEC\xD6\xF9GZ1", "构造柱GZ1"},
    {"\xBF\xF2\xD6\xA7\xD6\xF9KZZ1", "框支柱KZZ1"},
    {"\xD0\xBE\xD6\xF9XZ1", "芯柱XZ1"},
    {"\xD4\xB2\xD6\xF9"
     "D600",
     "圆柱D600"},
    {"\xB5\xD7\xB2\xE3\xD6\xF9", "底层柱"},
    {"\xB5\xD8\xCF\xC2\xCA\xD2\xCD\xE2\xC7\xBD", "地下室外墙"},
    {"\xD7\xAA\xBB\xBB\xC1\xBA", "转换梁"},
    {"\xD0\xCD\xB8\xD6\xBB\xEC\xC4\xFD\xCD\xC1\xD6\xF9", "型钢混凝土柱"},
    {"\xBA\xCB\xD0\xC4\xCD\xB2\xC7\xBD\xD6\xAB", "核心筒墙肢"},
    {"\xBD\xC7\xD6\xF9KZ3", "角柱KZ3"},
    {"\xB6\xCC\xD6\xAB\xBC\xF4\xC1\xA6\xC7\xBD", "短肢剪力墙"},
    {"\xC1\xBAL1", "梁L1"},
};

// The titles read from a file of the new version that holds them, one section each.
std::vector<std::string> titlesRead(const std::vector<std::string>& titles) {
  std::string file = std::to_string(titles.size()) + "\n";
  for (const std::string& t : titles) file += t + "\n1 2 3\n";
  MemorySource source(file);
  const ReadResult r = readSections(source, ReadOptions{.version = FileVersion::New});
  std::vector<std::string> out;
  if (const auto* store = std::get_if<SectionStore>(&r)) {
    for (const Section& s : store->sections) out.push_back(s.title);
  }
  return out;
}

TEST(TitleEncoding, Utf8TitlesStayUtf8) {
  std::vector<std::string> all;
  for (const std::string title : kUtf8Titles) {
    SCOPED_TRACE(title);
    EXPECT_EQ(titlesRead({title}), std::vector<std::string>{title});
    EXPECT_EQ(displayableSnippet(title, true, 40), title);
    all.push_back(title);
  }
  EXPECT_EQ(titlesRead(all), all);
}

TEST(TitleEncoding, GbkTitlesReadAsChinese) {
  std::vector<std::string> bytes;
  std::vector<std::string> texts;
  for (const GbkTitle& t : kGbkTitles) {
    SCOPED_TRACE(t.text);
    EXPECT_EQ(titlesRead({t.bytes}), std::vector<std::string>{t.text});
    for (const bool fileIsUtf8 : {true, false}) {
      EXPECT_EQ(displayableSnippet(t.bytes, fileIsUtf8, 40), t.text);
    }
    bytes.push_back(t.bytes);
    texts.push_back(t.text);
  }
  EXPECT_EQ(titlesRead(bytes), texts);
  // Alone, 小1 and 筒A read as Cyrillic and Greek; the file's other title tells they are GBK.
  EXPECT_EQ(titlesRead({"\xD0\xA1"
                        "1",
                        "\xCD\xB2"
                        "A",
                        "\xC7\xBD"
                        "A"}),
            (std::vector<std::string>{"小1", "筒A", "墙A"}));
}

}  // namespace
}  // namespace fiberview
