#include "cScriptManager.h"

#include <lua.hpp>

namespace Vorel {

cScriptManager::~cScriptManager() {
    if (m_state != nullptr) lua_close(m_state);
}

bool cScriptManager::Init() {
    m_state = luaL_newstate();
    if (m_state == nullptr) return false;  // only when memory has run out
    luaL_openlibs(m_state);
    return true;
}

}  // namespace Vorel
