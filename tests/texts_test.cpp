// Each text equals its wording in tests/texts.tsv converted to code page 932
// here, at test time, by the C library's converter, and has the length the
// boxes were designed around.

#include "ui/messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iconv.h>
#include <map>
#include <string>

namespace {

std::string ToCp932(const std::string &utf8)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << "no CP932 converter";
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    std::string in = utf8;
    std::string out(in.size() * 2 + 4, '\0');
    char *src = in.data();
    char *dst = out.data();
    size_t srcLeft = in.size();
    size_t dstLeft = out.size();
    size_t done = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    EXPECT_NE(done, static_cast<size_t>(-1)) << "conversion failed, errno " << errno;
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

struct Wording {
    size_t length;
    std::string utf8;
};

// name -> wording, from the shared table of texts.
std::map<std::string, Wording> LoadWordings()
{
    std::map<std::string, Wording> out;
    std::ifstream in(TEXTS_FILE);
    EXPECT_TRUE(in.good()) << "cannot read " << TEXTS_FILE;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        size_t tab1 = line.find('\t');
        size_t tab2 = line.find('\t', tab1 + 1);
        std::string text = line.substr(tab2 + 1);
        for (size_t at; (at = text.find("\\n")) != std::string::npos;)
            text.replace(at, 2, "\n");
        out[line.substr(0, tab1)] = {std::stoul(line.substr(tab1 + 1, tab2 - tab1 - 1)), text};
    }
    return out;
}

struct TextRow {
    const char *name;
    const char *stored;
    size_t arraySize;
};

void PrintTo(const TextRow &row, std::ostream *os)
{
    *os << row.name;
}

class Texts : public ::testing::TestWithParam<TextRow> {};

TEST_P(Texts, AreTheirWordingInCodePage932)
{
    const TextRow &row = GetParam();
    std::map<std::string, Wording> wordings = LoadWordings();
    ASSERT_EQ(wordings.count(row.name), 1u) << "no wording for " << row.name;
    const Wording &w = wordings[row.name];
    std::string expected = ToCp932(w.utf8);
    EXPECT_EQ(expected.size(), w.length) << "length of the wording itself";
    EXPECT_EQ(std::string(row.stored), expected);
    EXPECT_EQ(row.arraySize, w.length + 1) << "exactly one terminating zero";
}

#define TEXT_ROW(name)                                                                             \
    TextRow                                                                                        \
    {                                                                                              \
#name, name, sizeof name                                                                   \
    }

INSTANTIATE_TEST_SUITE_P(All, Texts,
                         ::testing::Values(TEXT_ROW(TitleText), TEXT_ROW(IntroText),
                                           TEXT_ROW(RestartPromptText), TEXT_ROW(AtapiMissingText),
                                           TEXT_ROW(VendorMissingText),
                                           TEXT_ROW(VendorDisabledText), TEXT_ROW(WriteFailedText),
                                           TEXT_ROW(PrivilegeCaption), TEXT_ROW(LookupErrorText),
                                           TEXT_ROW(AdjustErrorText)),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Texts, EveryWordingHasItsText)
{
    EXPECT_EQ(LoadWordings().size(), 10u);
}

} // namespace
