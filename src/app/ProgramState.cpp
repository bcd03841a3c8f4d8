#include "app/ProgramState.h"

namespace corvix {

ProgramState &Program()
{
    static ProgramState state;
    return state;
}

void ResetProgramState()
{
    Program() = ProgramState{};
}

} // namespace corvix
