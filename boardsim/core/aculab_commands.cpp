#include "boardsim/core/aculab_commands.h"

#include "boardsim/core/machine.h"

namespace ruzd::boardsim {

std::optional<std::string> QueryAculab(Machine& machine, const std::vector<Word>& words) {
    const std::string& what = words[1].text;
    if (what != "acuport" && what != "acucall" && what != "prosody")
        return std::nullopt;
    const std::optional<int64_t> number = words.size() == 3 ? Number(words[2].text) : std::nullopt;
    if (!number)
        return Err("usage: query " + what + " <number>");
    const auto id = static_cast<int32_t>(*number);
    if (what == "acuport") {
        const std::optional<std::string> port = machine.aculab_calls().DescribePort(id);
        return port ? Ok(*port) : Err("no Aculab port " + words[2].text);
    }
    if (what == "acucall") {
        const std::optional<std::string> call = machine.aculab_calls().DescribeCall(id);
        return call ? Ok(*call) : Err("no Aculab call " + words[2].text);
    }
    return Ok(machine.prosody().Describe(id));
}

}  // namespace ruzd::boardsim
