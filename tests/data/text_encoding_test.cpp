#include "data/text_encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <string_view>
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

// Titles as Chinese Windows writes them, in GBK: iconv makes their bytes. Those up to 斜柱
// are also well-formed UTF-8 by chance: 墙 (C7 BD) reads as ǽ, 圆 as Բ, 台 as a combining mark.
const char* const kGbkTitles[] = {
    "墙A",        "墙1",     "Q1墙",         "前墙",       "山墙W1",  "砖墙240",    "石墙",
    "实墙",       "院墙A",   "直墙",         "双肢墙",     "墙肢1",   "斜墙",       "小墙",
    "原墙",       "圆1",     "圆Z1",         "圆桩",       "圆筒A",   "平台",       "站台",
    "水平",       "前墙Q2",  "Q3-墙",        "墙-200",     "斜柱",    "框架柱KZ1",  "剪力墙Q1",
    "连梁LL1",    "暗柱AZ1", "构造柱GZ1",    "框支柱KZZ1", "芯柱XZ1", "圆柱D600",   "底层柱",
    "地下室外墙", "转换梁",  "型钢混凝土柱", "核心筒墙肢", "角柱KZ3", "短肢剪力墙", "梁L1"};

// `utf8` in GBK.
std::string gbk(std::string_view utf8) {
  std::string out(2 * utf8.size(), '\0');
  char* in = const_cast<char*>(utf8.data());
  char* to = out.data();
  std::size_t inLeft = utf8.size(), outLeft = out.size();
  const iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1) || iconv(cd, &in, &inLeft, &to, &outLeft) != 0) {
    ADD_FAILURE() << "iconv cannot write " << utf8 << " in GBK";
  }
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

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
  for (const std::string text : kGbkTitles) {
    SCOPED_TRACE(text);
    bytes.push_back(gbk(text));
    texts.push_back(text);
    EXPECT_EQ(titlesRead({bytes.back()}), std::vector<std::string>{text});
    for (const bool fileIsUtf8 : {true, false}) {
      EXPECT_EQ(displayableSnippet(bytes.back(), fileIsUtf8, 40), text);
    }
  }
  EXPECT_EQ(titlesRead(bytes), texts);
  // Alone, 小1 and 筒A read as Cyrillic and Greek; the file's other title tells they are GBK.
  EXPECT_EQ(titlesRead({gbk("小1"), gbk("筒A"), gbk("墙A")}),
            (std::vector<std::string>{"小1", "筒A", "墙A"}));
}

}  // namespace
}  // namespace fiberview
