#pragma once

#include "Singleton.h"

struct lua_State;

namespace Vorel {

// Owns the one Lua state of the run: opened with the standard libraries at
// start-up, closed when the manager is destroyed. No script runs in it yet.
class cScriptManager : public cSingleton<cScriptManager> {
public:
    ~cScriptManager();
    bool Init();
    lua_State* GetState() const { return m_state; }

private:
    lua_State* m_state = nullptr;
};

}  // namespace Vorel
