// Tags from tags.ini: the messages, and which report line opens the section.
#include "convert/tag_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "convert/cleaning_script.h"
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

}  // namespace
