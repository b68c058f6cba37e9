// The registry editor's export format, in UTF-16LE: a section a key, a line
// a value, data that the quoted forms cannot carry exactly in hex.
#include "backup/key_export.h"

#include <bit>
#include <cstring>
#include <iterator>
#include <string_view>

#include "backup/key_names.h"
#include "convert/value_text.h"
#include "state/state.h"

static_assert(std::endian::native == std::endian::little, "UTF-16 units are written as they lie in memory");

namespace {

// The registry's own limits: 255 units for a key's name, 16383 for a value's,
// 512 levels of keys.
constexpr std::uint32_t subkey_name_size = 256;
constexpr std::uint32_t value_name_size = 16384;
constexpr std::uint32_t max_depth = 512;
constexpr std::uint32_t key_name_size = 32768;
constexpr std::uint32_t value_data_size = std::uint32_t{4} << 20;

char16_t pending[8192];
std::uint32_t pending_units;

char16_t key_name[key_name_size];
char16_t subkey_name[subkey_name_size];
char16_t value_name[value_name_size];
alignas(char16_t) char value_data[value_data_size];
RegistryKey open_keys[max_depth];
std::uint32_t next_subkey[max_depth];
std::uint32_t subkey_counts[max_depth];
std::uint32_t name_lengths[max_depth];

void put(char16_t unit)
{
    if (pending_units == std::size(pending))
        flush_backup_text();
    pending[pending_units++] = unit;
}

void put(const char* ascii)
{
    while (*ascii != '\0')
        put(static_cast<char16_t>(*ascii++));
}

bool has_line_break(const char16_t* text, std::uint32_t length)
{
    for (std::uint32_t i = 0; i < length; ++i) {
        if (text[i] == u'\r' || text[i] == u'\n')
            return true;
    }
    return false;
}

void put_units(const char16_t* units, std::uint32_t count)
{
    for (std::uint32_t i = 0; i < count; ++i)
        put(units[i]);
}

void put_value(const RegistryValue& value)
{
    write_value_name(value.name, value.name_length, put_units);
    put(u'=');
    write_value_data(value.type, value.data, value.data_length, put_units, u"  ",
                     value_name_width(value.name, value.name_length));
    put("\r\n");
}

void note(ExportProblem& first, ExportProblem problem)
{
    if (first == ExportProblem::none)
        first = problem;
}

ExportProblem problem_of(RegistryResult result)
{
    if (result == RegistryResult::denied)
        return ExportProblem::denied;
    return result == RegistryResult::too_large ? ExportProblem::too_large : ExportProblem::unreadable;
}

// The section's heading: key_name, the first `length` units.
bool put_section(std::uint32_t length, ExportProblem& problem)
{
    if (has_line_break(key_name, length)) {
        note(problem, ExportProblem::name_uncarried);
        return false;
    }
    put(u'[');
    for (std::uint32_t i = 0; i < length; ++i)
        put(key_name[i]);
    put("]\r\n");
    return true;
}

// The key's full name, where it really lies, into key_name.
bool name_key(RegistryKey key, std::uint32_t& length, ExportProblem& problem)
{
    const RegistryResult named = get_registry_key_name(key, key_name, key_name_size, length);
    if (named != RegistryResult::ok)
        note(problem, problem_of(named));
    return named == RegistryResult::ok;
}

// WOW64 gives the 32-bit view's own key for these names below
// HKLM\SOFTWARE and the Classes keys; every other subkey lies where its
// parent's name and its own say.
bool may_be_redirected(RegistryView view, const char16_t* name, std::uint32_t units)
{
    constexpr std::u16string_view redirected[] = {u"SOFTWARE", u"CLSID", u"DirectShow", u"Interface", u"Media Type",
                                                  u"MediaFoundation"};
    if (view != RegistryView::bits32)
        return false;
    for (const std::u16string_view candidate : redirected) {
        if (candidate.size() == units && same_name(name, candidate.data(), units))
            return true;
    }
    return false;
}

// The key's section, named key_name's first `length` units, and its values;
// the count of its subkeys in `subkeys`.
void export_key(RegistryKey key, std::uint32_t length, std::uint32_t& subkeys, ExportProblem& problem)
{
    std::uint32_t values = 0;
    const RegistryResult counted = count_registry_entries(key, subkeys, values);
    if (counted != RegistryResult::ok) {
        note(problem, problem_of(counted));
        subkeys = 0;
    }
    if (!put_section(length, problem))
        return;
    RegistryValue value{value_name, value_name_size, 0, 0, value_data, value_data_size, 0};
    for (std::uint32_t index = 0; index < values; ++index) {
        const RegistryResult result = enum_registry_value(key, index, value);
        if (result == RegistryResult::no_more)
            break;
        if (result != RegistryResult::ok) {
            note(problem, problem_of(result));
            if (result == RegistryResult::too_large)
                continue;
            break;
        }
        if (has_line_break(value.name, value.name_length))
            note(problem, ExportProblem::name_uncarried);
        else
            put_value(value);
    }
    put("\r\n");
}

}  // namespace

void write_backup_header()
{
    put(u'\xFEFF');
    put("Windows Registry Editor Version 5.00\r\n\r\n");
}

void flush_backup_text()
{
    write_file(backup_file, reinterpret_cast<const char*>(pending), 2 * pending_units);
    pending_units = 0;
}

// Depth first, a parent before its subkeys, as the registry editor exports.
// A subkey's name is its parent's and its own: only the tree's top is asked
// where it really lies.
ExportProblem export_key_tree(RegistryKey key, RegistryView view)
{
    ExportProblem problem = ExportProblem::none;
    std::uint32_t length = 0;
    if (!name_key(key, length, problem))
        return problem;
    std::uint32_t depth = 0;
    open_keys[0] = key;
    next_subkey[0] = 0;
    name_lengths[0] = length;
    export_key(key, length, subkey_counts[0], problem);
    for (;;) {
        const std::uint32_t index = next_subkey[depth]++;
        const RegistryResult listed = index < subkey_counts[depth]
                                          ? enum_registry_subkey(open_keys[depth], index, subkey_name, subkey_name_size)
                                          : RegistryResult::no_more;
        if (listed == RegistryResult::ok) {
            RegistryKey subkey = 0;
            const RegistryResult opened = open_registry_subkey(open_keys[depth], subkey_name, view, subkey);
            if (opened == RegistryResult::absent)
                continue;
            if (opened != RegistryResult::ok) {
                note(problem, problem_of(opened));
                continue;
            }
            std::uint32_t units = 0;
            while (subkey_name[units] != u'\0')
                ++units;
            const std::uint32_t parent_length = name_lengths[depth];
            if (depth + 1 == max_depth || parent_length + 1 + units >= key_name_size) {
                close_registry_key(subkey);
                note(problem, depth + 1 == max_depth ? ExportProblem::too_deep : ExportProblem::too_large);
                continue;
            }
            key_name[parent_length] = u'\\';
            std::memcpy(key_name + parent_length + 1, subkey_name, 2 * std::size_t{units});
            length = parent_length + 1 + units;
            if (may_be_redirected(view, subkey_name, units) && !name_key(subkey, length, problem)) {
                close_registry_key(subkey);
                continue;
            }
            ++depth;
            open_keys[depth] = subkey;
            next_subkey[depth] = 0;
            name_lengths[depth] = length;
            export_key(subkey, name_lengths[depth], subkey_counts[depth], problem);
            continue;
        }
        if (listed != RegistryResult::no_more)
            note(problem, problem_of(listed));
        if (depth == 0)
            return problem;
        close_registry_key(open_keys[depth--]);
    }
}

ExportProblem export_value(RegistryKey key, const char16_t* name, bool& existed)
{
    RegistryValue value{value_name, value_name_size, 0, 0, value_data, value_data_size, 0};
    const RegistryResult found = query_registry_value(key, name, value);
    existed = found != RegistryResult::absent;
    if (found != RegistryResult::ok)
        return existed ? problem_of(found) : ExportProblem::none;
    while (name[value.name_length] != u'\0') {
        if (value.name_length + 1 == value_name_size)
            return ExportProblem::too_large;
        value_name[value.name_length] = name[value.name_length];
        ++value.name_length;
    }
    if (has_line_break(value_name, value.name_length))
        return ExportProblem::name_uncarried;
    ExportProblem problem = ExportProblem::none;
    std::uint32_t length = 0;
    if (name_key(key, length, problem) && put_section(length, problem)) {
        put_value(value);
        put("\r\n");
    }
    return problem;
}

void export_value_absence(RegistryKey key, const char16_t* name)
{
    std::uint32_t units = 0;
    while (name[units] != u'\0')
        ++units;
    ExportProblem problem = ExportProblem::none;
    std::uint32_t length = 0;
    if (has_line_break(name, units) || !name_key(key, length, problem) || !put_section(length, problem))
        return;
    write_value_name(name, units, put_units);
    put("=-\r\n\r\n");
}
