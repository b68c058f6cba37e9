// Fuzzes the tag loading: any bytes as tags.ini, a well-formed tag list out.
#include <csetjmp>
#include <cstring>
#include <string>

#include "convert/tag_list.h"
#include "state/state.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::enter_sandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::write_bytes(fuzz::work_file("tags.ini"), data, size);
    fuzz::reset_state();
    fuzz::check(setjmp(fuzz::process_end) == 0, "loading never ends the process");
    load_tag_list();

    fuzz::check(tag_list.count >= 1 && tag_list.count <= max_tags, "between 1 and 512 tags");
    fuzz::check(input_file == invalid_file, "tags.ini closed");
    const std::set<std::string> lines = fuzz::lines_of(data, size, false);
    for (std::uint32_t t = 0; t < tag_list.count; ++t) {
        const char* tag = tag_list.tags[t];
        fuzz::check(std::memchr(tag, '\0', tag_slot_size) != nullptr, "a tag ends inside its slot");
        const bool standard = tag_list.count == 1 && std::strcmp(tag, "Keys added") == 0;
        fuzz::check(standard || lines.count(tag), "every tag is a whole line of tags.ini");
    }
    return 0;
}
