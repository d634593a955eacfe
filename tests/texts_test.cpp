// Each text equals its Japanese wording converted to code page 932 here,
// at test time, by the C library's converter, and has the length the
// boxes were designed around.

#include "ui/messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <iconv.h>
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

struct TextRow {
    const char *name;
    const char *stored;
    size_t arraySize;
    const char *utf8;
    size_t length;
};

void PrintTo(const TextRow &row, std::ostream *os)
{
    *os << row.name;
}

class Texts : public ::testing::TestWithParam<TextRow> {};

TEST_P(Texts, AreTheirWordingInCodePage932)
{
    const TextRow &row = GetParam();
    std::string expected = ToCp932(row.utf8);
    EXPECT_EQ(expected.size(), row.length) << "length of the wording itself";
    EXPECT_EQ(std::string(row.stored), expected);
    EXPECT_EQ(row.arraySize, row.length + 1) << "exactly one terminating zero";
    EXPECT_EQ(std::string(row.stored).find('\r'), std::string::npos);
}

#define TEXT_ROW(name, utf8, length)                                                               \
    TextRow                                                                                        \
    {                                                                                              \
#name, name, sizeof name, utf8, length                                                     \
    }

INSTANTIATE_TEST_SUITE_P(
    All, Texts,
    ::testing::Values(TEXT_ROW(TitleText, "ATAPIﾄﾞﾗｲﾊﾞ変更ﾌﾟﾛｸﾞﾗﾑ ver2.0", 29),
                      TEXT_ROW(IntroText,
                               "Windows NT4.0 で使用している REDEVUZA.ROZ ドライバを ATAPI.SYS\n"
                               "ドライバに変更します。\n"
                               "このプログラムを実行するには、Windows NT4.0 用 Service Pack4 \n"
                               "もしくはそれ以降がインストールされている必要があります。\n"
                               "このプログラムを使用してATAPIドライバを変更するには、\n"
                               "Administrator 権限が必要です。\n"
                               "実行するまえに、すべてのアプリケーションを終了してください。\n"
                               "\n"
                               "実行してよろしいですか？",
                               376),
                      TEXT_ROW(RestartPromptText,
                               "ATAPI ドライバの変更がおこなわれました。変更を有効にするには、\n"
                               "システムを再起動する必要があります。\n"
                               "\n"
                               "今すぐ再起動しますか？",
                               123),
                      TEXT_ROW(AtapiMissingText,
                               "システムにATAPI.SYSがインストールされていません。\n"
                               "ATAPIドライバの変更はおこなわれませんでした。",
                               95),
                      TEXT_ROW(VendorMissingText,
                               "システムにREDEVUZA.ROZがインストールされていません。\n"
                               "ATAPIドライバを変更する必要はありません。",
                               94),
                      TEXT_ROW(VendorDisabledText,
                               "REDEVUZA.ROZは無効になっています。\n"
                               "ATAPIドライバを変更する必要はありません。",
                               76),
                      TEXT_ROW(WriteFailedText,
                               "レジストリへの書き込みに失敗しました。\n"
                               "ATAPIドライバの変更は完了していません。",
                               78),
                      TEXT_ROW(PrivilegeCaption, "EXITWIN", 7),
                      TEXT_ROW(LookupErrorText, "LookupPrivilegeValue Error", 26),
                      TEXT_ROW(AdjustErrorText, "AdjustTokenPrivileges Error", 27)),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
