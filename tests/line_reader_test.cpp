// The line reader against real files, chunk edges included.
#include "convert/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "state/state.h"
#include "tests/test_support.h"

namespace {

struct ReadLines {
    std::vector<std::string> lines;
    std::vector<bool> continues;
    std::string buffer_after_end;
};

ReadLines read_all(const std::string& bytes)
{
    test::Sandbox sandbox;
    const auto path = sandbox.work / "input.txt";
    test::write_bytes(path, bytes);
    const FileHandle file = open_file_for_reading(path.c_str());
    EXPECT_NE(file, invalid_file);
    ReadLines result;
    while (read_crlf_line(line_buffer, file)) {
        result.lines.emplace_back(line_buffer);
        result.continues.push_back(line_continues);
    }
    result.buffer_after_end = line_buffer;
    close_file(file);
    return result;
}

using Lines = std::vector<std::string>;

TEST(LineReader, SplitsAtCrLfOnlyAndKeepsLastLineAfterEnd)
{
    EXPECT_EQ(read_all("one\r\ntwo\r\n").lines, (Lines{"one", "two"}));
    EXPECT_EQ(read_all("one\r\ntwo\r\n").buffer_after_end, "two");
    EXPECT_EQ(read_all("one\r\nlast").lines, (Lines{"one", "last"}));
    EXPECT_EQ(read_all("\r\n\r\nx\r\n").lines, (Lines{"", "", "x"}));
    EXPECT_EQ(read_all("a\rb\nc\r\n").lines, (Lines{"a\rb\nc"}));
    EXPECT_EQ(read_all("a\nb\nc\n").lines, (Lines{"a\nb\nc\n"}));
    EXPECT_TRUE(read_all("").lines.empty());
}

TEST(LineReader, DeliversLfOnlyFilesInChunks)
{
    std::string bytes;
    while (bytes.size() < 20000)
        bytes += "HKLM\\SOFTWARE\\Key\n";
    const ReadLines read = read_all(bytes);
    ASSERT_EQ(read.lines.size(), 3u);
    EXPECT_EQ(read.lines[0], bytes.substr(0, chunk_size));
    EXPECT_EQ(read.lines[1], bytes.substr(chunk_size, chunk_size));
    EXPECT_EQ(read.lines[2], bytes.substr(2 * chunk_size));
    EXPECT_EQ(read.continues, (std::vector<bool>{true, true, false}));
}

TEST(LineReader, HandlesPairsAtTheChunkEdge)
{
    const std::string x8190(8190, 'x');
    // The pair closes the chunk exactly.
    EXPECT_EQ(read_all(x8190 + "\r\ntail").lines, (Lines{x8190, "tail"}));
    // The CR ends one chunk and its LF begins the next.
    const ReadLines split = read_all(x8190 + "y\r\nnext\r\n");
    EXPECT_EQ(split.lines, (Lines{x8190 + "y\r", "\nnext"}));
    EXPECT_EQ(split.continues, (std::vector<bool>{true, false}));
    // A line of exactly one chunk, then its line end.
    const ReadLines full = read_all(x8190 + "yy\r\nnext\r\n");
    EXPECT_EQ(full.lines, (Lines{x8190 + "yy", "", "next"}));
}

TEST(LineReader, ReadsEveryLineOfALargeFile)
{
    Lines expected;
    std::string bytes;
    for (int i = 0; i < 30000; ++i) {
        expected.push_back("HKLM\\SOFTWARE\\Vendor\\" + std::string(static_cast<std::size_t>(i % 97), 'k') +
                           std::to_string(i));
        bytes += expected.back() + "\r\n";
    }
    EXPECT_EQ(read_all(bytes).lines, expected);
}

}  // namespace
