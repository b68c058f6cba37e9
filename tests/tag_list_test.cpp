// Tags from tags.ini: the messages, and which report line opens the section.
#include "convert/tag_list.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <utility>
#include <vector>
#include <string>

#include "convert/cleaning_script.h"
#include "convert/headings.h"
#include "convert/regshot_headings.h"
#include "state/state.h"
#include "tests/test_support.h"

namespace {

using test::message;

const std::string not_found =
    message("'tags.ini' not found.\nMorvane will only search for the standard 'Keys added' string.");
const std::string no_tags =
    message("No tags found in 'tags.ini'.\nMorvane will only search for the standard 'Keys added' string.");
const std::string invalid_report = message("Invalid or empty report file.");

const std::string long_custom = "Custom" + std::string(505, 'x');  // 511 bytes: the longest tag that fits

// Each candidate heading is followed by its own key, so the one entry
// written tells which line opened the section.
const std::string report = test::crlf_lines({
    "HKLM\\SOFTWARE\\First", "HKLM\\SOFTWARE\\AfterFirstLine", "",
    long_custom + ": 1", "HKLM\\SOFTWARE\\AfterCustom", "",
    "Keys added: 1", "HKLM\\SOFTWARE\\AfterStandard", "",
    "Other tag: 1", "HKLM\\SOFTWARE\\AfterOther", "",
});

struct TagRun {
    std::string messages;
    std::string heading;  // the key after the heading, or "" when none was found
};

TagRun run_with(const std::optional<std::string>& tags_ini)
{
    test::Sandbox sandbox;
    if (tags_ini)
        test::write_bytes(sandbox.work / "tags.ini", *tags_ini);
    test::write_bytes(sandbox.work / "report.txt", report);
    const test::Outcome outcome = test::run_isolated(sandbox, [] {
        load_tag_list();
        std::printf("--\n");
        std::strcpy(report_path, "report.txt");
        build_cleaning_script();
    });
    const std::size_t split = outcome.output.find("--\n");
    EXPECT_NE(split, std::string::npos) << outcome.output;
    TagRun run{outcome.output.substr(0, split), ""};
    const std::string after = outcome.output.substr(split + 3);
    if (outcome.returned()) {
        const std::string script = test::read_bytes(sandbox.script());
        const std::size_t start = script.find("SOFTWARE\\") + 9;
        run.heading = script.substr(start, script.find(']') - start);
    } else {
        EXPECT_EQ(after, invalid_report);
    }
    return run;
}

TEST(TagList, FallsBackToTheStandardTag)
{
    const TagRun missing = run_with(std::nullopt);
    EXPECT_EQ(missing.messages, not_found);
    EXPECT_EQ(missing.heading, "AfterStandard");
    const TagRun empty = run_with("");
    EXPECT_EQ(empty.messages, no_tags);
    EXPECT_EQ(empty.heading, "AfterStandard");
}

TEST(TagList, TakesEachCrLfLineAsATag)
{
    for (const std::string& ini : {std::string("Keys added\r\n"), std::string("Keys added")}) {
        const TagRun run = run_with(ini);
        EXPECT_EQ(run.messages, "");
        EXPECT_EQ(run.heading, "AfterStandard");
    }
    // Neither tag is the standard one, which is then not searched for.
    const TagRun two = run_with("Nowhere\r\nOther tag\r\n");
    EXPECT_EQ(two.messages, "");
    EXPECT_EQ(two.heading, "AfterOther");
}

TEST(TagList, MatchesEmptyTagsWithTheFirstLine)
{
    EXPECT_EQ(run_with("\r\n").heading, "AfterFirstLine");
    EXPECT_EQ(run_with("Keys added\r\n\r\n").heading, "AfterFirstLine");
}

TEST(TagList, TakesTagsByteForByte)
{
    // A trailing space stays part of the tag.
    const TagRun spaced = run_with("Keys added \r\n");
    EXPECT_EQ(spaced.messages, "");
    EXPECT_EQ(spaced.heading, "");
    // LF alone ends no line: this is one tag holding the LF bytes.
    EXPECT_EQ(run_with("Other tag\nKeys added\n").heading, "");
    EXPECT_EQ(run_with("keys added\r\n").heading, "");
}

TEST(TagList, SkipsLinesThatDoNotFitASlot)
{
    EXPECT_EQ(run_with(long_custom + "\r\n").heading, "AfterCustom");
    // Cut to fit, this line would match the custom heading.
    const TagRun too_long = run_with(long_custom + "y\r\n");
    EXPECT_EQ(too_long.messages, no_tags);
    EXPECT_EQ(too_long.heading, "AfterStandard");
    // The short rest of a line longer than a chunk is no tag of its own.
    EXPECT_EQ(run_with(std::string(8192, 'x') + "Other tag\r\n").heading, "AfterStandard");
    EXPECT_EQ(run_with(std::string(600, 'x') + "\r\nOther tag\r\n").heading, "AfterOther");
}

TEST(TagList, KeepsAtMost512Tags)
{
    std::string ini;
    for (int i = 0; i < 511; ++i)
        ini += "Nowhere " + std::to_string(i) + "\r\n";
    EXPECT_EQ(run_with(ini + "Other tag\r\n").heading, "AfterOther");
    const TagRun full = run_with(ini + "Nowhere else\r\nOther tag\r\nKeys added\r\n");
    EXPECT_EQ(full.messages, "");
    EXPECT_EQ(full.heading, "");
}

// The heading in code page `code_page`, as RegShot's ANSI build writes it;
// nullopt where the code page lacks a character of it.
std::optional<std::string> in_code_page(const std::string& utf8, int code_page)
{
    const iconv_t converter = iconv_open(("CP" + std::to_string(code_page)).c_str(), "UTF-8");
    EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1)) << code_page;
    std::string bytes(4 * utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    char* out = bytes.data();
    std::size_t in_left = utf8.size();
    std::size_t out_left = bytes.size();
    const bool whole = iconv(converter, &in, &in_left, &out, &out_left) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    return whole ? std::optional<std::string>(bytes.substr(0, bytes.size() - out_left)) : std::nullopt;
}

// Every heading of every language of RegShot, as the line RegShot writes
// ("heading count"), in a Unicode report and in an ANSI one of each code
// page that carries it, with tags.ini's line for the added keys: each opens
// its own section and no other, whatever the other languages' headings and
// a tag that begins them.
TEST(TagList, OpensEachSectionInEveryLanguageOfRegShot)
{
    // What each kind of heading opens, in the order of HeadingKind.
    const char* const opens[heading_kind_count] = {" keys", "", " values", "", " modified", " files", "", "", " folders", "", "", ""};
    const char* const sections[section_count] = {" values", " modified", " folders", " files"};
    // The download's tags.ini: each language's heading of the added keys, in
    // its own code page, as RegShot's file keeps it.
    std::string tags_ini;
    std::set<int> code_pages;
    for (const RegShotLanguage& language : regshot_languages) {
        code_pages.insert(language.code_page);
        tags_ini += in_code_page(language.headings[0], language.code_page).value_or("?") + "\r\n";
    }
    EXPECT_EQ(test::read_bytes(std::filesystem::path(MORVANE_SOURCE_DIR) / "docs" / "tags.ini"), tags_ini);
    for (const int code_page : code_pages) {
        for (const ReportEncoding encoding : {ReportEncoding::ansi, ReportEncoding::utf16le}) {
            // The lines: each heading and what it must open.
            std::vector<std::pair<std::string, std::string>> lines;
            // Short tags that begin other sections' headings: the longer
            // heading wins.
            std::string tags = "Keys\r\nValores\r\n";
            for (const RegShotLanguage& language : regshot_languages) {
                if (const auto tag = in_code_page(language.headings[0], code_page))
                    tags += *tag + "\r\n";
                // tags.ini holds the keys heading in the system's code page:
                // a Unicode report's heading that it lacks opens nothing.
                for (std::uint32_t k = 0; k < heading_kind_count; ++k) {
                    const auto ansi = in_code_page(language.headings[k], code_page);
                    if (encoding == ReportEncoding::utf16le || ansi)
                        lines.emplace_back(
                            (encoding == ReportEncoding::ansi ? *ansi : language.headings[k]) + std::string(" 12"),
                            std::string(language.name) + " " + std::to_string(k) + ":" +
                                (k == 0 && !ansi ? "" : opens[k]) + "\n");
                }
            }
            test::Sandbox sandbox;
            test::write_bytes(sandbox.work / "tags.ini", tags);
            const test::Outcome outcome = test::run_isolated(sandbox, [&] {
                setenv("MORVANE_ANSI_CODE_PAGE", std::to_string(code_page).c_str(), 1);
                report_encoding = encoding;
                load_tag_list();
                load_section_tags();
                prepare_headings();
                for (const auto& [line, _] : lines) {
                    std::printf("%s", _.substr(0, _.find(':') + 1).c_str());
                    if (opens_keys(line.c_str()))
                        std::printf(" keys");
                    for (std::uint32_t s = 0; s < section_count; ++s) {
                        if (opens_section(line.c_str(), static_cast<Section>(s)))
                            std::printf("%s", sections[s]);
                    }
                    std::printf("\n");
                }
            });
            std::string expected;
            for (const auto& [_, opened] : lines)
                expected += opened;
            EXPECT_EQ(outcome.output, expected)
                << "code page " << code_page << (encoding == ReportEncoding::ansi ? ", ANSI" : ", Unicode");
        }
    }
}

}  // namespace
