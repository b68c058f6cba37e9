// Fuzzes the backup: any bytes as the values of a listed key (names, types
// and data) and as further lines of the script; every value comes out as one
// line of the key's section, and nothing is written past a buffer.
#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "backup/backup.h"
#include "review/review.h"
#include "state/state.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::filesystem::path key_directory;

// A record: a name length in units (one byte, up to 63: the stand-in's file
// name for the value must fit in 255 bytes), the name in UTF-16LE, the
// type (four bytes) and a data length (two bytes), then the data. Returns
// the names of the values made, as the stand-in registry keeps them.
std::set<std::u16string> make_values(const std::uint8_t* data, std::size_t size, std::size_t& used)
{
    std::set<std::u16string> names;
    std::filesystem::remove_all(key_directory);
    std::filesystem::create_directories(key_directory);
    std::size_t at = 0;
    while (at < size) {
        const std::size_t name_bytes = 2 * std::size_t{data[at] % 64u};
        if (at + 1 + name_bytes + 6 > size)
            break;
        std::u16string name;
        std::string file = "v";
        for (std::size_t i = 0; i < name_bytes; i += 2) {
            name += static_cast<char16_t>(data[at + 1 + i] | data[at + 2 + i] << 8);
            for (const std::uint8_t byte : {data[at + 1 + i], data[at + 2 + i]}) {
                file += "0123456789abcdef"[byte >> 4];
                file += "0123456789abcdef"[byte & 15];
            }
        }
        const std::size_t header = at + 1 + name_bytes;
        const std::size_t data_length = data[header + 4] | data[header + 5] << 8;
        const std::size_t length = std::min(data_length, size - header - 6);
        std::string bytes(reinterpret_cast<const char*>(data + header), 4);
        bytes.append(reinterpret_cast<const char*>(data + header + 6), length);
        fuzz::write_bytes((key_directory / file).string(), reinterpret_cast<const std::uint8_t*>(bytes.data()),
                          bytes.size());
        names.insert(name);
        at = header + 6 + length;
    }
    used = at;
    return names;
}

bool has_line_break(const std::u16string& name)
{
    return name.find(u'\r') != std::u16string::npos || name.find(u'\n') != std::u16string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::enter_sandbox();
    const std::filesystem::path registry = std::filesystem::path(fuzz::work_file("registry"));
    key_directory = registry / "HKEY_LOCAL_MACHINE/SOFTWARE/Fuzz";
    setenv("MORVANE_REGISTRY_DIR", registry.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t used = 0;
    const std::set<std::u16string> names = make_values(data, size, used);
    const std::string listing = "Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Fuzz]\r\n";
    std::string script = listing + std::string(reinterpret_cast<const char*>(data + used), size - used);
    fuzz::write_bytes(fuzz::script_location(), reinterpret_cast<const std::uint8_t*>(script.data()), script.size());

    fuzz::reset_state();
    std::snprintf(script_path, sizeof script_path, "%s", fuzz::script_location().c_str());
    report_from_x64 = true;
    // The script read back as it was written asks nothing, and the backup
    // reads the same bytes from its copy.
    remember_written_files();
    fuzz::check(setjmp(fuzz::process_end) == 0, "the review never ends the process");
    fuzz::check(take_reviewed_files(), "the script as written is taken without a question");
    std::string copy = script_path;
    std::replace(copy.begin(), copy.end(), '\\', '/');
    fuzz::check(copy != fuzz::script_location() && fuzz::read_bytes(copy) == script, "the copy holds the script's bytes");
    fuzz::check(setjmp(fuzz::process_end) == 0, "the backup never ends the process");
    back_up_listed_keys();
    discard_reviewed_copies();
    fuzz::check(input_file == invalid_file && backup_file == invalid_file, "the script and the backup closed");

    const std::string bytes = fuzz::read_bytes(backup_path);
    std::filesystem::remove(backup_path);
    fuzz::check(bytes.size() % 2 == 0, "whole UTF-16 units");
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) | bytes[2 * i + 1] << 8);
    const std::u16string section = u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fuzz]\r\n";
    fuzz::check(text.rfind(u"\xFEFFWindows Registry Editor Version 5.00\r\n", 0) == 0, "the heading");
    const std::size_t start = text.find(section);
    fuzz::check(start != std::u16string::npos, "the listed key's section");
    fuzz::check(text.find(section, start + 1) == std::u16string::npos, "the key written once");

    std::size_t carried = 0;
    for (const std::u16string& name : names)
        carried += has_line_break(name) ? 0 : 1;
    std::size_t lines = 0;
    for (std::size_t at = start + section.size(); text.compare(at, 2, u"\r\n") != 0;) {
        const std::size_t end = text.find(u"\r\n", at);
        fuzz::check(end != std::u16string::npos, "every line ends");
        lines += text[at] == u' ' ? 0 : 1;
        at = end + 2;
    }
    fuzz::check(lines == carried, "a line for every value that the format carries");
    fuzz::check(carried == names.size() || backup_problem_count > 0, "a value it cannot carry is a problem");
    return 0;
}
