// alert_states: the message states, a stack of levels of per-number
// states that change how a looked-up record is reported.
#include "common/alert.h"

#include "common/alert_internal.h"
#include "common/stringcache.h"
#include "common/vector.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

// One level of message states: numbers up to ALERT_MAX_NUMBER in a vector
// indexed by number, any higher number in a sparse map (a state may be set
// for any number, whether a catalogue has it or not).
struct StateLevel {
    vec *by_number;
    std::map<uint32_t, int> above;
};

// The stack of levels, bottom first; made on first use and kept until the
// process ends.
std::vector<StateLevel> *levels = nullptr;

StateLevel &top_level() {
    if (levels == nullptr)
        levels = new std::vector<StateLevel>;
    if (levels->empty())
        levels->push_back({vec_create(__FILE__, __LINE__), {}});
    return levels->back();
}

int state_of(uint32_t number) {
    if (levels == nullptr || levels->empty())
        return 0;
    const StateLevel &level = levels->back();
    if (number <= ALERT_MAX_NUMBER)
        return static_cast<int>(reinterpret_cast<intptr_t>(vec_get(level.by_number, number)));
    auto found = level.above.find(number);
    return found == level.above.end() ? 0 : found->second;
}

void set_state(uint32_t number, int state) {
    StateLevel &level = top_level();
    if (number <= ALERT_MAX_NUMBER)
        vec_set(level.by_number, reinterpret_cast<void *>(static_cast<intptr_t>(state)), number);
    else if (state == ALERT_STATE_NONE)
        level.above.erase(number);
    else
        level.above[number] = state;
}

void drop_top_level() {
    vec_destroy(levels->back().by_number);
    levels->pop_back();
}

// Sets state for every number whose start-up type passes the filter.
template <typename Filter> void set_state_where(int state, Filter filter) {
    alert_init();
    for (uint32_t n = 0; n < alert_internal::start_up_slots(); ++n)
        if (const alert_record *rec = alert_internal::start_up_record(n); rec && filter(rec->type))
            set_state(n, state);
}

} // namespace

namespace alert_internal {

void apply_state(alert_record *rec, int32_t threshold) {
    switch (state_of(rec->number)) {
    case ALERT_STATE_QUIET:
        if (rec->type == ALERT_MESSAGE || rec->type == ALERT_WARNING)
            rec->type = ALERT_SUPPRESSED;
        break;
    case ALERT_STATE_OFF:
    case ALERT_STATE_DISABLED:
        if (rec->type != ALERT_FATAL)
            rec->type = ALERT_SUPPRESSED;
        break;
    case ALERT_STATE_DEMOTE:
        if (rec->type == ALERT_ERROR) {
            rec->type = ALERT_WARNING;
            rec->level = threshold;
        }
        break;
    case ALERT_STATE_PROMOTE:
        if (rec->type == ALERT_WARNING)
            rec->type = ALERT_ERROR;
        break;
    default:
        break;
    }
}

void reset_states() {
    while (levels != nullptr && !levels->empty())
        drop_top_level();
    delete levels;
    levels = nullptr;
}

} // namespace alert_internal

void alert_state(uint32_t number, int operation) {
    switch (operation) {
    case ALERT_STATE_NONE:
    case ALERT_STATE_QUIET:
    case ALERT_STATE_OFF:
    case ALERT_STATE_DEMOTE:
    case ALERT_STATE_PROMOTE:
    case ALERT_STATE_DISABLED:
        set_state(number, operation);
        break;
    case ALERT_STATE_PUSH: {
        StateLevel &top = top_level();
        levels->push_back({vec_copy(top.by_number, __FILE__, __LINE__), top.above});
        break;
    }
    case ALERT_STATE_POP:
        top_level(); // the bottom level is made, never popped
        if (levels->size() > 1)
            drop_top_level();
        break;
    case ALERT_STATE_ALL_QUIET:
        set_state_where(ALERT_STATE_QUIET, [](uint32_t type) {
            return type == ALERT_MESSAGE || type == ALERT_WARNING;
        });
        break;
    case ALERT_STATE_ALL_OFF:
        set_state_where(ALERT_STATE_OFF, [](uint32_t type) { return type != ALERT_FATAL; });
        break;
    case ALERT_STATE_RESET:
        top_level();
        drop_top_level();
        top_level();
        break;
    default:
        break;
    }
}

int alert_get_state(uint32_t number) {
    return state_of(number);
}

void alert_disable(const char *list) {
    if (!list || !*list)
        return;
    if (list[0] == '0') {
        alert_state(0, ALERT_STATE_ALL_QUIET);
        return;
    }
    std::string_view items = list;
    while (!items.empty()) {
        size_t comma = items.find(',');
        std::string item(items.substr(0, comma));
        items = comma == std::string_view::npos ? std::string_view() : items.substr(comma + 1);
        if (item.empty() || !std::isdigit(static_cast<unsigned char>(item[0])))
            continue;
        char *rest = nullptr;
        unsigned long number = std::strtoul(item.c_str(), &rest, 10);
        bool off = sc_starts_with_nocase(rest, ":off");
        if (number <= UINT32_MAX)
            set_state(static_cast<uint32_t>(number),
                      off ? ALERT_STATE_DISABLED : ALERT_STATE_QUIET);
    }
}
