// The text, date and collection utilities of CStaticTools, in tables, with a brute-force
// reference for the edit distance and random values for the round trips.

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <deque>
#include <filesystem>
#include <random>
#include <set>
#include <unordered_map>

#include "foundation/resource_strings.h"
#include "foundation/static_tools.h"
#include "platform/local_time.h"
#include "platform/win_path.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

using Tools = CStaticTools;

TEST(TextUtilities, VersionsPasswordsFileNamesAndNumbersInText) {
    EXPECT_EQ(Tools::CompareVersions("1.2.3", "1.2.4", false), 1);
    EXPECT_EQ(Tools::CompareVersions("1.2.4", "1.2.3", false), -1);
    EXPECT_EQ(Tools::CompareVersions("1.2", "1.2.3", false), -2);
    EXPECT_EQ(Tools::CompareVersions("1.2", "1.2.9", true), 0);
    EXPECT_EQ(Tools::CompareVersions("1.2.3", "1.2.4", true), 0);
    EXPECT_EQ(Tools::CompareVersions("1..10.x", "1.9", false), -1);  // parts 1, 10 against 1, 9
    EXPECT_EQ(Tools::CompareVersions("1", "1.2.3", true), -2);

    EXPECT_EQ(Tools::MaskPassword("UID=a;PWD=secret;X=1"), "UID=a;PWD=*****;X=1");
    EXPECT_EQ(Tools::MaskPassword("UID=a;PWD=secret"), "UID=a;PWD=*****");
    EXPECT_EQ(Tools::MaskPassword("UID=a;pwd=secret"), "UID=a;pwd=secret");

    EXPECT_EQ(Tools::ValidFileName("a:b*c?. ."), "abc");
    std::string name = "<x>|y;\"z\"/\\. ";
    Tools::MakeValidFileName(name);
    EXPECT_EQ(name, "xyz");

    EXPECT_EQ(Tools::HexToNumber("1G"), 16u);
    EXPECT_EQ(Tools::HexToNumber("  ff "), 255u);
    EXPECT_EQ(Tools::HexToNumber("DEADbeef"), 0xDEADBEEFu);

    EXPECT_EQ(Tools::FindNoCase("Grüße aus KÖLN", "köln"), 12);  // bytes
    EXPECT_EQ(Tools::FindNoCase("abc", ""), -1);
    std::string text = "One two ONE tWo";
    Tools::ReplaceNoCase(text, "two", "2");
    EXPECT_EQ(text, "One 2 ONE 2");
    Tools::RemoveChar(text, ' ');
    EXPECT_EQ(text, "One2ONE2");

    std::string before;
    EXPECT_TRUE(Tools::GetTextBeforeLastDot("a.b.txt", before));
    EXPECT_EQ(before, "a.b");
    EXPECT_FALSE(Tools::GetTextBeforeLastDot("none", before));

    double low = 0;
    double high = 0;
    EXPECT_TRUE(Tools::ParseNumberRange("from -5.5 to 7", &low, &high));
    EXPECT_EQ(low, -5.5);
    EXPECT_EQ(high, 7);
    EXPECT_TRUE(Tools::ParseNumberRange("10-20 kg", &low, &high));
    EXPECT_EQ(high, 20);
    EXPECT_TRUE(Tools::ParseNumberRange("about 3", &low, &high));
    EXPECT_EQ(high, 3);
    EXPECT_FALSE(Tools::ParseNumberRange("none", &low, &high));

    EXPECT_EQ(Tools::DecodeCharacterReferences("&#65;&#8364;&#;&#55296;&#66"), "A€&#;&#55296;&#66");

    EXPECT_TRUE(Tools::AlmostEqual(0.1 + 0.2, 0.3));
    EXPECT_TRUE(Tools::AlmostEqual(0.0, -0.0));
    const double one = 1.0;
    EXPECT_TRUE(Tools::AlmostEqual(one, std::bit_cast<double>(std::bit_cast<uint64_t>(one) + 4)));
    EXPECT_FALSE(Tools::AlmostEqual(one, std::bit_cast<double>(std::bit_cast<uint64_t>(one) + 5)));
    EXPECT_FALSE(Tools::AlmostEqual(std::nan(""), std::nan("")));
}

TEST(TextUtilities, NumbersAndMessagesAreFormatted) {
    EXPECT_EQ(Tools::FormatInt(-7), "-7");
    EXPECT_EQ(Tools::FormatLong(2147483647), "2147483647");
    EXPECT_EQ(Tools::FormatDouble(0.1, false), "0.1");
    EXPECT_EQ(Tools::FormatDouble(1.0 / 3, false), "0.333333333333333");
    EXPECT_EQ(Tools::FormatDoubleRoundTrip(0.1, false), "0.1");
    EXPECT_EQ(Tools::FormatDoubleRoundTrip(1.0 / 3, false), "0.3333333333333333");
    std::mt19937_64 random(39);
    for (int i = 0; i < 2000; ++i) {
        const double value = std::bit_cast<double>(random());
        if (!std::isfinite(value)) {
            continue;
        }
        const std::string text = Tools::FormatDoubleRoundTrip(value, false);
        double read = 0;
        std::from_chars(text.data(), text.data() + text.size(), read);
        ASSERT_EQ(read, value) << text;
    }
    EXPECT_EQ(Tools::Format("%s-%03d", "x", 7), "x-007");

    ResourceStrings::Register(39001, "%d files in %s");
    EXPECT_EQ(Tools::FormatResource(39001, 3, "C:\\Vox"), "3 files in C:\\Vox");
    ResourceStrings::Unregister(39001);
    EXPECT_EQ(Tools::FormatResource(39001, 3, "x"), "");
    EXPECT_FALSE(Tools::FormatSystemMessage(2).empty());
    EXPECT_EQ(Tools::FormatSystemMessage(123456), "");
}

// The distance by breadth-first search over every edit of the four kinds.
int BruteForceDistance(const std::string& from, const std::string& to) {
    std::set<char> alphabet(from.begin(), from.end());
    alphabet.insert(to.begin(), to.end());
    const size_t longest = std::max(from.size(), to.size()) + 2;
    std::unordered_map<std::string, int> seen{{from, 0}};
    std::deque<std::string> queue{from};
    while (!queue.empty()) {
        const std::string text = queue.front();
        queue.pop_front();
        const int distance = seen[text];
        if (text == to) {
            return distance;
        }
        std::vector<std::string> next;
        for (size_t i = 0; i <= text.size(); ++i) {
            if (i < text.size()) {
                next.push_back(text.substr(0, i) + text.substr(i + 1));
                for (const char c : alphabet) {
                    next.push_back(text.substr(0, i) + c + text.substr(i + 1));
                }
            }
            if (i + 1 < text.size()) {
                std::string swapped = text;
                std::swap(swapped[i], swapped[i + 1]);
                next.push_back(swapped);
            }
            if (text.size() < longest) {
                for (const char c : alphabet) {
                    next.push_back(text.substr(0, i) + c + text.substr(i));
                }
            }
        }
        for (std::string& candidate : next) {
            if (seen.emplace(candidate, distance + 1).second) {
                queue.push_back(std::move(candidate));
            }
        }
    }
    return -1;
}

TEST(TextUtilities, DamerauLevenshteinCountsCodePointsAsTheBruteForceDoes) {
    EXPECT_EQ(Tools::DamerauLevenshtein("CA", "ABC"), 2);
    EXPECT_EQ(Tools::DamerauLevenshtein("", "abc"), 3);
    EXPECT_EQ(Tools::DamerauLevenshtein("Grüße", "Grüsse"), 2);
    // Characters far beyond any table sized by code: a map keeps the last rows.
    EXPECT_EQ(Tools::DamerauLevenshtein("😀a", "a😀"), 1);

    const std::string letters[] = {"a", "ü", "€"};
    std::mt19937 random(39);
    const auto make = [&](std::string& symbols) {
        std::string utf8;
        symbols.clear();
        const size_t length = random() % 5;
        for (size_t i = 0; i < length; ++i) {
            const size_t letter = random() % 3;
            symbols += static_cast<char>('0' + letter);
            utf8 += letters[letter];
        }
        return utf8;
    };
    for (int i = 0; i < 150; ++i) {
        std::string symbols_a;
        std::string symbols_b;
        const std::string a = make(symbols_a);
        const std::string b = make(symbols_b);
        ASSERT_EQ(Tools::DamerauLevenshtein(a, b), BruteForceDistance(symbols_a, symbols_b))
            << a << " / " << b;
    }
}

TEST(TextUtilities, EncodingsRoundTrip) {
    EXPECT_EQ(Tools::Base64Encode(""), "\n");
    EXPECT_EQ(Tools::Base64Encode("Man"), "TWFu\n");
    // libb64 breaks its lines after 72 characters.
    const std::string bytes(60, 'x');
    const std::string encoded = Tools::Base64Encode(bytes);
    EXPECT_EQ(encoded.find('\n'), 72u);
    EXPECT_EQ(encoded.back(), '\n');
    EXPECT_EQ(Tools::Base64Decode(encoded), bytes);
    EXPECT_EQ(Tools::Base64Decode("TW!!F u"), "Man");
    std::mt19937 random(39);
    std::string binary;
    for (int i = 0; i < 1000; ++i) {
        binary += static_cast<char>(random());
    }
    EXPECT_EQ(Tools::Base64Decode(Tools::Base64Encode(binary)), binary);

    const std::string text = "Grüße € 😀";
    EXPECT_EQ(Tools::Utf8ToWide(text).size(), 10u);
    EXPECT_EQ(Tools::WideToUtf8(Tools::Utf8ToWide(text)), text);
    EXPECT_EQ(Tools::Utf8ToWide("a\xFF"), u"a\uFFFD");

    EXPECT_EQ(Tools::PercentDecode("a%20b%2x%41%"), "a b%2xA%");
    EXPECT_EQ(Tools::PercentDecode("%C3%BC"), "ü");
    EXPECT_EQ(Tools::PercentDecode(u"%41%e4"), u"A\u00E4");
}

TEST(TextUtilities, HtmlInAndOut) {
    EXPECT_EQ(Tools::TextToHtml("a&b <c> \"Grüße\" © €"),
              "a&amp;b &lt;c&gt; &quot;Gr&uuml;&szlig;e&quot; &copy; &euro;");
    // '&' first: the entities it writes are not escaped again.
    EXPECT_EQ(Tools::TextToHtml("&lt;"), "&amp;lt;");

    EXPECT_EQ(Tools::HtmlToText("<html><head><title>T</title></head><BODY class=x>Hi &amp;lt; "
                                "<b>you</b><br><a href=\"http://x/\">site</a>&nbsp;&copy;</body>"),
              "Hi &lt; you\nsite (http://x/)\u00A0©");

    EXPECT_EQ(
        Tools::WrapAsHtmlDocument("Hello", "Greeting"),
        "<html>\n<head>\n\t<title>Greeting</title>\n</head>\n<body>\n\tHello\n</body>\n</html>");
    EXPECT_EQ(Tools::WrapAsHtmlDocument("<body>Hi</BODY>", "T"),
              "<html>\n<head>\n\t<title>T</title>\n</head>\n<body>Hi</body>\n</html>");
    EXPECT_EQ(Tools::WrapAsHtmlDocument("<html><head></HEAD>Hi</html>", "T"),
              "<html><head></head>\n<body>\n\tHi\n</body>\n</html>");
}

TEST(TextUtilities, CollectionsSplitAndJoin) {
    std::vector<uint32_t> unsigned_values{9};
    Tools::SplitToULongArray(",1,,-1,x,4294967296,", ',', unsigned_values);
    EXPECT_EQ(unsigned_values, (std::vector<uint32_t>{1, 4294967295u, 4294967295u}));
    std::vector<double> doubles;
    Tools::SplitToDoubleArray("1.5;;x;-2", ';', doubles, false);
    EXPECT_EQ(doubles, (std::vector<double>{1.5, -2}));
    std::vector<std::string> tokens;
    Tools::SplitToTokens("|a||b c|", '|', tokens);
    EXPECT_EQ(tokens, (std::vector<std::string>{"a", "b c"}));
    std::list<std::string> token_list;
    Tools::SplitToTokenList("a b", ' ', token_list);
    EXPECT_EQ(token_list.size(), 2u);
    std::list<int32_t> list;
    Tools::SplitToLongList("3,x,-4", ',', list);
    EXPECT_EQ(list, (std::list<int32_t>{3, -4}));
    std::vector<int32_t> longs;
    Tools::SplitToLongArray("5 5  2147483648 1", ' ', longs);
    EXPECT_EQ(longs, (std::vector<int32_t>{5, 5, 1}));
    std::set<int32_t> set;
    Tools::SplitToLongSet("3,1,3", ',', set);
    EXPECT_EQ(set, (std::set<int32_t>{1, 3}));

    EXPECT_EQ(Tools::JoinStrings({"a,b", "", "c"}, ','), "ab,,c");
    EXPECT_EQ(Tools::JoinLongList({1, -2}, ';', false), "1;-2");
    EXPECT_EQ(Tools::JoinLongList({1, -2}, ';', true), "1;-2;");
    EXPECT_EQ(Tools::JoinLongs({}, ','), "");
    EXPECT_EQ(Tools::JoinLongSet({2, 1}, ','), "1,2");
    EXPECT_EQ(Tools::JoinUnsigned({4294967295u}, ','), "4294967295");

    EXPECT_EQ(Tools::TextsToNumbers({"1", "x", " -3"}), (std::vector<int32_t>{1, 2147483647, -3}));
    EXPECT_TRUE(Tools::SameNumbers({1, 2, 3}, {3, 1, 2}));
    EXPECT_FALSE(Tools::SameNumbers({1, 2}, {1, 2, 2}));
    std::vector<int32_t> numbers{3, 1, 3, 2};
    Tools::SortUnique(numbers);
    EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2, 3}));

    EXPECT_EQ(Tools::EstimateTextSize("ab€", false), 10u);
    EXPECT_EQ(Tools::EstimateTextSize("ab€", true), 6u);
    EXPECT_EQ(Tools::EstimateDWordArraySize({1, 2}), 28u);
    EXPECT_EQ(Tools::EstimateStringArraySize({"a", "bc"}), 20u + 6 + 8);
    EXPECT_EQ(Tools::EstimateStringMapSize({{"k", "vv"}}), 8u + 20 + 6 + 8);
    EXPECT_EQ(Tools::EstimateVectorSize(3), 80u);
    EXPECT_EQ(Tools::CrcOfText("123456789", 9), 0xCBF43926u);
}

// The zone and locale of a test, read again as they were when it ends.
class ZoneAndLocale {
public:
    ZoneAndLocale(const char* zone, const char* locale) {
        environment_.emplace();
        environment_->Set("TZ", zone);
        environment_->Set("LC_ALL", locale);
        platform::ReloadTimeZone();
    }
    ~ZoneAndLocale() {
        environment_.reset();
        platform::ReloadTimeZone();
    }

private:
    std::optional<testing::ScopedEnvironment> environment_;
};

TEST(TextUtilities, DatesInIsoTextAndTheLocalZone) {
    const ZoneAndLocale berlin("Europe/Berlin", "C");
    const OleDate noon = OleDate::FromFields(2024, 3, 1, 12, 30, 15);

    // A zone is read as UTC: "+01:00" is an hour east of it.
    EXPECT_EQ(Tools::FromIso8601("2024-03-01T13:30:15+01:00"), noon);
    EXPECT_EQ(Tools::FromIso8601("2024-03-01T10:00:15-02:30"), noon);
    EXPECT_EQ(Tools::FromIso8601("2024-03-01T12:30:15Z"), noon);
    EXPECT_EQ(Tools::FromIso8601("2024-03"), OleDate::FromFields(2024, 3, 1, 0, 0, 0));
    const OleDate with_ms = Tools::FromIso8601("2024-03-01T12:30:15.25Z");
    EXPECT_EQ(Tools::ToIso8601(with_ms, true), "2024-03-01T12:30:15.250");
    EXPECT_EQ(Tools::ToIso8601(with_ms, false), "2024-03-01T12:30:15");
    EXPECT_TRUE(Tools::FromIso8601("(null)").IsNull());
    for (const char* bad : {"2024-13-01", "2024-02-30", "2024-03-01T", "20240301", "2024-3-01",
                            "2024-03-01T12:30:15+01", "2024-03-01T12:30:15Zx", "99-01-01"}) {
        EXPECT_EQ(Tools::FromIso8601(bad).status(), OleDateStatus::kInvalid) << bad;
    }
    EXPECT_EQ(Tools::ToIso8601(kNullOleDate, false), "(null)");
    EXPECT_EQ(Tools::ToIso8601(kInvalidOleDate, true), "(invalid)");

    // Below a day counts: 1.5 seconds are not lost to an integer division of days.
    EXPECT_EQ(Tools::ToIso8601(Tools::AddMilliseconds(noon, 1500), true),
              "2024-03-01T12:30:16.500");
    EXPECT_EQ(Tools::AddMilliseconds(noon, -2 * 86400000).WholeDays(), noon.WholeDays() - 2);

    EXPECT_EQ(Tools::FormatDate("2024-02-29"), "2024-02-29");
    EXPECT_EQ(Tools::FormatDate("02/29/2024 23:59:59"), "2024-02-29");
    EXPECT_EQ(Tools::FormatDate("1899-12-30"), "INVALID DATE");
    EXPECT_EQ(Tools::FormatDate("13/01/2024"), "INVALID DATE");
    EXPECT_EQ(Tools::FormatDateAndTime("2024-02-29 10:30"), "02/29/24 10:30:00");
    EXPECT_EQ(Tools::FormatDateAndTime("later"), "INVALID DATE");

    // Winter and summer time of the zone at the date itself.
    EXPECT_EQ(Tools::UtcToLocal(noon), OleDate::FromFields(2024, 3, 1, 13, 30, 15));
    const OleDate july = OleDate::FromFields(2024, 7, 1, 12, 0, 0);
    EXPECT_EQ(Tools::UtcToLocal(july), OleDate::FromFields(2024, 7, 1, 14, 0, 0));
    EXPECT_EQ(Tools::LocalToUtc(Tools::UtcToLocal(july)), july);
    EXPECT_TRUE(Tools::LocalToUtc(kNullOleDate).IsNull());

    EXPECT_EQ(Tools::ToCTime(OleDate::FromFields(1970, 1, 2, 1, 0, 0)), 86400);
    EXPECT_EQ(Tools::ToCTime(OleDate::FromFields(1969, 12, 31, 0, 0, 0)), 0);
    EXPECT_EQ(Tools::FromCTime(86400), OleDate::FromFields(1970, 1, 2, 1, 0, 0));
    EXPECT_TRUE(Tools::FromCTime(-1).IsNull());

    EXPECT_EQ(Tools::CompareDates(kNullOleDate, OleDate::FromValue(-600000)), -1);
    EXPECT_EQ(Tools::CompareDates(kNullOleDate, kNullOleDate), 0);
    EXPECT_EQ(Tools::CompareDates(july, noon), 1);
    EXPECT_EQ(Tools::SecondsOfDay(-1.25), 21600);
}

TEST(TextUtilities, VariantsAndFiles) {
    EXPECT_EQ(Tools::VariantTypeSize(kVtBool, 0), 2u);
    EXPECT_EQ(Tools::VariantTypeSize(kVtError, 0), 4u);
    EXPECT_EQ(Tools::VariantTypeSize(kVtDecimal, 0), 8u);
    EXPECT_EQ(Tools::VariantTypeSize(kVtBstr, 5), 10u);
    EXPECT_EQ(Tools::VariantTypeSize(kVtUi4, 0), 0u);

    EXPECT_EQ(Tools::VariantToText(Tools::TextToVariant("-9223372036854775808", kVtI8)),
              "-9223372036854775808");
    EXPECT_EQ(Tools::VariantToText(Tools::TextToVariant("18446744073709551615", kVtUi8)),
              "18446744073709551615");
    EXPECT_EQ(Tools::VariantToText(Tools::TextToVariant("0.1", kVtR8)), "0.1");
    EXPECT_EQ(Tools::VariantToText(Tools::TextToVariant("1.25", kVtCy)), "1.25");
    EXPECT_EQ(Tools::VariantToText(Tools::TextToVariant("text", kVtBstr)), "text");
    EXPECT_EQ(Tools::TextToVariant("true", kVtBool), VariantValue::Integer(kVtBool, kVariantTrue));
    EXPECT_TRUE(Tools::TextToVariant("256", kVtUi1).IsEmpty());
    EXPECT_TRUE(Tools::TextToVariant("9223372036854775808", kVtI8).IsEmpty());
    EXPECT_EQ(Tools::TextToVariant("2024-03-01", kVtDate).real(),
              OleDate::FromFields(2024, 3, 1, 0, 0, 0).value());
    EXPECT_TRUE(Tools::BytesToVariant("", false).IsEmpty());
    EXPECT_EQ(Tools::BytesToVariant("", true).type(), kVtArray | kVtUi1);
    EXPECT_EQ(Tools::BytesToVariant("ab", false).bytes(), (std::vector<uint8_t>{'a', 'b'}));

    testing::TempRoot root;
    EXPECT_TRUE(Tools::WriteBufferToFile("C:\\Out\\a.bin", "abc", 3));
    EXPECT_EQ(testing::ReadWholeFile(platform::MapWindowsPath("C:\\Out\\a.bin")), "abc");
    EXPECT_TRUE(Tools::WriteBufferToFile("C:\\Out\\a.bin", "d", 1));
    EXPECT_EQ(testing::ReadWholeFile(platform::MapWindowsPath("C:\\Out\\a.bin")), "d");
    // One level of folder is made, as CreateDirectory makes one.
    EXPECT_FALSE(Tools::WriteBufferToFile("C:\\No\\Such\\a.bin", "x", 1));
}

}  // namespace
}  // namespace ruzd::foundation
