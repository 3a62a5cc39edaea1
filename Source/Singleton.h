#pragma once

namespace Vorel {

// The managers' singleton convention: one heap instance behind Instance,
// allocated on its first call. Create makes it exist now; Destroy runs its
// destructor and frees it. After Destroy the next Instance would allocate a
// fresh one rather than hand out the freed pointer.
template <class T>
class cSingleton {
public:
    static T* Instance() {
        T*& instance = Slot();
        if (instance == nullptr) instance = new T;
        return instance;
    }
    static void Create() { Instance(); }
    static void Destroy() {
        T*& instance = Slot();
        delete instance;
        instance = nullptr;
    }

protected:
    cSingleton() = default;
    ~cSingleton() = default;

private:
    static T*& Slot() {
        static T* instance = nullptr;
        return instance;
    }
};

}  // namespace Vorel
