#pragma once

namespace Vorel {

// The managers, created in start-up order and destroyed in shutdown order
// (the application object last in both).
void CreateSingletons();
void DestroySingletons();

}  // namespace Vorel
