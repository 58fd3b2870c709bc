// Test-only definitions of the HTTP object factory and the COM pair: the unit
// tests of webRequest link this file instead of a real backend.
#include "FakeHttpObject.h"

namespace lunteva {

HttpRequestObject createHttpObject(const TextValue& progId) {
    auto& world = fake::fakeWorld();
    world.log.push_back("create(" + fake::quoted(progId.view()) + ")");
    if (world.failCreation) return nullptr;
    auto object = std::make_shared<fake::FakeHttpObject>(world.log, world.script);
    world.lastCreated = object;
    return object;
}

void coInitialize() {
    auto& world = fake::fakeWorld();
    ++world.coInitializeCalls;
    world.log.push_back("CoInitialize");
}

void coUninitialize() {
    auto& world = fake::fakeWorld();
    ++world.coUninitializeCalls;
    world.log.push_back("CoUninitialize");
}

}  // namespace lunteva
