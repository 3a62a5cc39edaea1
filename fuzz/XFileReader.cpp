// The .x reader through the file interface, from memory: every data object,
// its name, type, GUID and payload, depth first, references not followed.
#include <d3dx9xof.h>
#include <rmxftmpl.h>

#include <vector>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VorelFuzz::Quiet();
    ID3DXFile* file = nullptr;
    if (FAILED(D3DXFileCreate(&file))) return 0;
    file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
    D3DXF_FILELOADMEMORY memory{data, size};
    ID3DXFileEnumObject* top = nullptr;
    if (SUCCEEDED(file->CreateEnumObject(&memory, D3DXF_FILELOAD_FROMMEMORY, &top))) {
        std::vector<ID3DXFileData*> pending;
        SIZE_T count = 0;
        top->GetChildren(&count);
        for (SIZE_T i = 0; i < count; ++i)
            if (ID3DXFileData* child = nullptr; SUCCEEDED(top->GetChild(i, &child))) pending.push_back(child);
        volatile uint8_t sum = 0;
        while (!pending.empty()) {
            ID3DXFileData* object = pending.back();
            pending.pop_back();
            SIZE_T bytes = 0, nameSize = 0;
            const void* payload = nullptr;
            GUID type, id;
            object->GetType(&type), object->GetId(&id), object->GetName(nullptr, &nameSize);
            std::vector<char> name(nameSize);
            object->GetName(name.data(), &nameSize);
            if (SUCCEEDED(object->Lock(&bytes, &payload))) {
                for (SIZE_T b = 0; b < bytes; ++b)
                    sum = sum + static_cast<const uint8_t*>(payload)[b];
                object->Unlock();
            }
            if (!object->IsReference() && SUCCEEDED(object->GetChildren(&count)))
                for (SIZE_T i = 0; i < count; ++i)
                    if (ID3DXFileData* child = nullptr; SUCCEEDED(object->GetChild(i, &child)))
                        pending.push_back(child);
            object->Release();
        }
        top->Release();
    }
    file->Release();
    return 0;
}
