// The values sections' lines, resolved against the registry.
#include "convert/value_lines.h"

#include <cstring>

#include "convert/regshot_data.h"
#include "convert/value_text.h"
#include "state/state.h"

namespace {

char16_t key_path[chunk_size + 1];
char16_t value_name[chunk_size + 1];
char16_t unused_name[1];
alignas(char16_t) char value_data[std::uint32_t{1} << 16];
char16_t printed[chunk_size + 1];

enum class Fit : std::uint8_t { fits, differs, unknown };

// A line that RegShot wrapped holds only the start of the data.
bool same_data(std::uint32_t printed_length, const char16_t* text, std::uint32_t length, bool cut)
{
    if (cut ? printed_length < length || length > chunk_size : printed_length != length)
        return false;
    return std::memcmp(printed, text, 2 * std::size_t{length}) == 0;
}

Fit data_fit(const RegistryValue& value, RegistryResult found, const char16_t* text, std::uint32_t length, bool cut)
{
    if (found == RegistryResult::too_large)
        return Fit::unknown;
    std::uint32_t printed_length = 0;
    const bool told = regshot_data_text(value, printed, chunk_size + 1, printed_length);
    if (told && same_data(printed_length, text, length, cut))
        return Fit::fits;
    // RegShot 1.8 and 1.9.0 print bytes after two spaces, and every
    // multi-string and QWORD byte by byte.
    std::uint32_t spaces = 0;
    while (spaces < length && text[spaces] == u' ')
        ++spaces;
    if ((spaces > 0 || value.type == reg_multi_sz || value.type == reg_qword) &&
        regshot_bytes_text(value, printed, chunk_size + 1, printed_length) &&
        same_data(printed_length, text + spaces, length - spaces, cut))
        return Fit::fits;
    return told ? Fit::differs : Fit::unknown;
}

struct Candidates {
    std::uint32_t existing;
    std::uint32_t fitting;
    std::uint32_t unknown;  // values whose data cannot be compared
    Split first_existing;
    Split first_plausible;  // the first that fits, or cannot be compared
    std::uint32_t existing_type;
    std::uint32_t plausible_type;
    bool unreadable;
};

// Every value that a split of the line names under the key at `slash`.
void look_in_key(RegistryKey key, const char16_t* units, std::uint32_t slash, std::uint32_t length, bool cut,
                 Candidates& found)
{
    for (std::uint32_t colon = slash + 1; colon + 1 < length; ++colon) {
        if (units[colon] != u':' || units[colon + 1] != u' ')
            continue;
        std::memcpy(value_name, units + slash + 1, 2 * std::size_t{colon - slash - 1});
        value_name[colon - slash - 1] = u'\0';
        RegistryValue value{unused_name, 1, 0, 0, value_data, sizeof value_data, 0};
        const RegistryResult result = query_registry_value(key, value_name, value);
        if (result == RegistryResult::absent)
            continue;
        if (result != RegistryResult::ok && result != RegistryResult::too_large) {
            found.unreadable = true;
            continue;
        }
        if (found.existing++ == 0) {
            found.first_existing = {slash, colon};
            found.existing_type = value.type;
        }
        const Fit fit = data_fit(value, result, units + colon + 2, length - colon - 2, cut);
        if (fit == Fit::differs)
            continue;
        if (found.fitting + found.unknown == 0) {
            found.first_plausible = {slash, colon};
            found.plausible_type = value.type;
        }
        ++(fit == Fit::fits ? found.fitting : found.unknown);
    }
}

}  // namespace

std::uint32_t units_of(const ReportLine& line, char16_t* units)
{
    if (line.units != nullptr) {
        std::memcpy(units, line.units, 2 * std::size_t{line.characters});
        return line.characters;
    }
    return units_of_text({line.text, line.bytes}, units, chunk_size);
}

Resolution resolve_value_line(RegistryRoot root, const char16_t* units, std::uint32_t path, std::uint32_t length,
                              bool exact, bool cut, Split& split, std::uint32_t& type)
{
    Candidates found{};
    for (std::uint32_t slash = path; slash < length; ++slash) {
        if (units[slash] != u'\\')
            continue;
        std::memcpy(key_path, units + path, 2 * std::size_t{slash - path});
        key_path[slash - path] = u'\0';
        RegistryKey key = 0;
        const RegistryResult opened = open_registry_key(root, key_path, report_view(), key);
        if (opened == RegistryResult::absent)
            break;  // no key lies below a missing one
        if (opened != RegistryResult::ok) {
            found.unreadable = true;
            break;
        }
        look_in_key(key, units, slash, length, cut, found);
        close_registry_key(key);
    }
    if (found.unreadable)
        return Resolution::unreadable;
    if (found.existing == 0)
        return Resolution::none;
    const std::uint32_t plausible = found.fitting + found.unknown;
    if (!exact && (found.existing == 1 || plausible == 1)) {
        split = found.existing == 1 ? found.first_existing : found.first_plausible;
        type = found.existing == 1 ? found.existing_type : found.plausible_type;
        return Resolution::one;
    }
    if (exact && found.fitting == 1 && found.unknown == 0) {
        split = found.first_plausible;
        type = found.plausible_type;
        return Resolution::one;
    }
    if (plausible > 1 || !exact)
        return Resolution::several;
    return found.unknown > 0 ? Resolution::unreadable : Resolution::changed;
}
