// ID3DXFile and its enumeration and data objects over a parsed document.
#include <d3dx9xof.h>
#include <rmxftmpl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "RefCounted.h"
#include "d3dx9/xfile/Container.h"

namespace Platform::XFile {
namespace {

using Platform::RefCounted;

class FileObject;

class EnumObject final : public RefCounted<ID3DXFileEnumObject> {
public:
    EnumObject(FileObject* file, std::shared_ptr<const Document> document);
    ~EnumObject() override;
    HRESULT WINAPI GetFile(ID3DXFile** file) override;
    HRESULT WINAPI GetChildren(SIZE_T* count) override;
    HRESULT WINAPI GetChild(SIZE_T index, ID3DXFileData** child) override;

private:
    FileObject* m_file;
    std::shared_ptr<const Document> m_document;
};

class DataObject final : public RefCounted<ID3DXFileData> {
public:
    // Holds its enumeration, which owns the document.
    DataObject(EnumObject* owner, const Node* node, bool reference)
        : m_owner(owner), m_node(node), m_reference(reference) {
        m_owner->AddRef();
    }
    ~DataObject() override { m_owner->Release(); }

    HRESULT WINAPI GetEnum(ID3DXFileEnumObject** enumObject) override {
        if (enumObject == nullptr) return E_POINTER;
        m_owner->AddRef();
        *enumObject = m_owner;
        return S_OK;
    }
    HRESULT WINAPI GetName(LPSTR name, SIZE_T* size) override {
        if (size == nullptr) return E_POINTER;
        const SIZE_T needed = m_node->name.size() + 1;
        if (name == nullptr) {
            *size = needed;
            return S_OK;
        }
        if (*size < needed) return D3DXFERR_BADVALUE;
        std::memcpy(name, m_node->name.c_str(), needed);
        *size = needed;
        return S_OK;
    }
    HRESULT WINAPI GetId(LPGUID id) override {
        if (id == nullptr) return E_POINTER;
        *id = m_node->hasId ? m_node->id : GUID{};
        return S_OK;
    }
    HRESULT WINAPI Lock(SIZE_T* size, LPCVOID* data) override {
        if (size == nullptr || data == nullptr) return E_POINTER;
        static const uint8_t kNothing = 0;
        *size = m_node->payload.size();
        *data = m_node->payload.empty() ? &kNothing : m_node->payload.data();
        return S_OK;
    }
    HRESULT WINAPI Unlock() override { return S_OK; }
    HRESULT WINAPI GetType(GUID* type) override {
        if (type == nullptr) return E_POINTER;
        *type = m_node->TypeGuid();
        return S_OK;
    }
    BOOL WINAPI IsReference() override { return m_reference ? TRUE : FALSE; }
    HRESULT WINAPI GetChildren(SIZE_T* count) override {
        if (count == nullptr) return E_POINTER;
        *count = m_node->children.size();
        return S_OK;
    }
    HRESULT WINAPI GetChild(SIZE_T index, ID3DXFileData** child) override {
        if (child == nullptr) return E_POINTER;
        *child = nullptr;
        if (index >= m_node->children.size()) return E_INVALIDARG;
        try {
            const Child& c = m_node->children[index];
            *child = new DataObject(m_owner, c.node, c.reference);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    EnumObject* m_owner;
    const Node* m_node;
    bool m_reference;
};

class FileObject final : public RefCounted<ID3DXFile> {
public:
    HRESULT WINAPI CreateEnumObject(LPCVOID source, D3DXF_FILELOADOPTIONS options,
                                    ID3DXFileEnumObject** enumObject) override {
        if (enumObject == nullptr) return E_POINTER;
        *enumObject = nullptr;
        if (source == nullptr) return E_INVALIDARG;
        try {
            std::shared_ptr<const Document> document;
            HRESULT hr;
            if (options == D3DXF_FILELOAD_FROMFILE) {
                hr = ReadFileDocument(static_cast<const char*>(source), m_templates, &document);
            } else if (options == D3DXF_FILELOAD_FROMMEMORY) {
                const auto* memory = static_cast<const D3DXF_FILELOADMEMORY*>(source);
                if (memory->lpMemory == nullptr && memory->dSize != 0) return E_INVALIDARG;
                const std::string_view bytes(static_cast<const char*>(memory->lpMemory), memory->dSize);
                auto read = std::make_shared<Document>();
                hr = ReadDocument(bytes, "(memory)", m_templates, read.get());
                document = std::move(read);
            } else {
                return D3DXFERR_RESOURCENOTFOUND;  // no resources in this platform
            }
            if (FAILED(hr)) return hr;
            *enumObject = new EnumObject(this, std::move(document));
        } catch (const std::bad_alloc&) {
            OutputDebugStringA("D3DX file: out of memory while reading\n");
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    HRESULT WINAPI RegisterTemplates(LPCVOID data, SIZE_T size) override {
        if (data == nullptr) return E_POINTER;
        // The standard templates into an empty set, as every reader of
        // models registers them: the set parsed once serves them all.
        const auto* text = static_cast<const char*>(data);
        if (m_templates.Empty() && size == D3DRM_XTEMPLATE_BYTES &&
            std::memcmp(text, D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES) == 0) {
            m_templates = StandardTemplates();
            return S_OK;
        }
        try {
            Document document;
            const HRESULT hr = ReadDocument(std::string_view(static_cast<const char*>(data), size),
                                            "(templates)", m_templates, &document);
            if (FAILED(hr)) return hr;
            m_templates = document.templates;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    TemplateSet m_templates;
};

EnumObject::EnumObject(FileObject* file, std::shared_ptr<const Document> document)
    : m_file(file), m_document(std::move(document)) {
    m_file->AddRef();
}

EnumObject::~EnumObject() {
    m_file->Release();
}

HRESULT WINAPI EnumObject::GetFile(ID3DXFile** file) {
    if (file == nullptr) return E_POINTER;
    m_file->AddRef();
    *file = m_file;
    return S_OK;
}

HRESULT WINAPI EnumObject::GetChildren(SIZE_T* count) {
    if (count == nullptr) return E_POINTER;
    *count = m_document->top.size();
    return S_OK;
}

HRESULT WINAPI EnumObject::GetChild(SIZE_T index, ID3DXFileData** child) {
    if (child == nullptr) return E_POINTER;
    *child = nullptr;
    if (index >= m_document->top.size()) return E_INVALIDARG;
    try {
        *child = new DataObject(this, m_document->top[index], false);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

}  // namespace
}  // namespace Platform::XFile

HRESULT WINAPI D3DXFileCreate(ID3DXFile** file) {
    if (file == nullptr) return E_POINTER;
    *file = nullptr;
    try {
        *file = new Platform::XFile::FileObject;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
