// D3DX 9's .x file interface: ID3DXFile opens a file (text, binary or
// compressed) and enumerates its top-level data objects; each data object
// gives its template GUID, name, payload and children. A reference comes
// back as a data object with the target's type, name, payload and children,
// and IsReference true.
#pragma once

#include <windows.h>

#define _FACD3DXF 0x876
#define D3DXFERR_BADOBJECT MAKE_HRESULT(1, _FACD3DXF, 900)
#define D3DXFERR_BADVALUE MAKE_HRESULT(1, _FACD3DXF, 901)
#define D3DXFERR_BADTYPE MAKE_HRESULT(1, _FACD3DXF, 902)
#define D3DXFERR_NOTFOUND MAKE_HRESULT(1, _FACD3DXF, 903)
#define D3DXFERR_NOTDONEYET MAKE_HRESULT(1, _FACD3DXF, 904)
#define D3DXFERR_FILENOTFOUND MAKE_HRESULT(1, _FACD3DXF, 905)
#define D3DXFERR_RESOURCENOTFOUND MAKE_HRESULT(1, _FACD3DXF, 906)
#define D3DXFERR_BADRESOURCE MAKE_HRESULT(1, _FACD3DXF, 907)
#define D3DXFERR_BADFILETYPE MAKE_HRESULT(1, _FACD3DXF, 908)
#define D3DXFERR_BADFILEVERSION MAKE_HRESULT(1, _FACD3DXF, 909)
#define D3DXFERR_BADFILEFLOATSIZE MAKE_HRESULT(1, _FACD3DXF, 910)
#define D3DXFERR_BADFILE MAKE_HRESULT(1, _FACD3DXF, 911)
#define D3DXFERR_PARSEERROR MAKE_HRESULT(1, _FACD3DXF, 912)
#define D3DXFERR_BADARRAYSIZE MAKE_HRESULT(1, _FACD3DXF, 913)
#define D3DXFERR_BADDATAREFERENCE MAKE_HRESULT(1, _FACD3DXF, 914)
#define D3DXFERR_NOMOREOBJECTS MAKE_HRESULT(1, _FACD3DXF, 915)
#define D3DXFERR_NOMOREDATA MAKE_HRESULT(1, _FACD3DXF, 916)
#define D3DXFERR_BADCACHEFILE MAKE_HRESULT(1, _FACD3DXF, 917)

typedef DWORD D3DXF_FILELOADOPTIONS;
#define D3DXF_FILELOAD_FROMFILE 0x00
#define D3DXF_FILELOAD_FROMRESOURCE 0x01
#define D3DXF_FILELOAD_FROMMEMORY 0x02

struct D3DXF_FILELOADMEMORY {
    LPCVOID lpMemory;
    SIZE_T dSize;
};

struct ID3DXFile;
struct ID3DXFileEnumObject;
struct ID3DXFileData;
typedef ID3DXFile* LPD3DXFILE;
typedef ID3DXFileEnumObject* LPD3DXFILEENUMOBJECT;
typedef ID3DXFileData* LPD3DXFILEDATA;

struct ID3DXFile : public IUnknown {
    // source: a file name (D3DXF_FILELOAD_FROMFILE) or a D3DXF_FILELOADMEMORY
    // (D3DXF_FILELOAD_FROMMEMORY). A file that cannot be read fails with one
    // trace line naming it, the line or byte, and what was expected.
    virtual HRESULT WINAPI CreateEnumObject(LPCVOID source, D3DXF_FILELOADOPTIONS options,
                                            ID3DXFileEnumObject** enumObject) = 0;
    // Template declarations in any encoding, with their 16-byte header.
    virtual HRESULT WINAPI RegisterTemplates(LPCVOID data, SIZE_T size) = 0;
};

struct ID3DXFileEnumObject : public IUnknown {
    virtual HRESULT WINAPI GetFile(ID3DXFile** file) = 0;
    virtual HRESULT WINAPI GetChildren(SIZE_T* count) = 0;
    virtual HRESULT WINAPI GetChild(SIZE_T index, ID3DXFileData** child) = 0;
};

struct ID3DXFileData : public IUnknown {
    virtual HRESULT WINAPI GetEnum(ID3DXFileEnumObject** enumObject) = 0;
    // With no buffer, *size = the length of the name plus its terminating
    // null (1 for an unnamed object); with one, the name is copied if *size
    // is large enough.
    virtual HRESULT WINAPI GetName(LPSTR name, SIZE_T* size) = 0;
    virtual HRESULT WINAPI GetId(LPGUID id) = 0;
    // The payload: members packed in declaration order, little-endian, with
    // no padding; a STRING member is a pointer to a NUL-terminated copy.
    // Valid until the object and its enumeration are released.
    virtual HRESULT WINAPI Lock(SIZE_T* size, LPCVOID* data) = 0;
    virtual HRESULT WINAPI Unlock() = 0;
    virtual HRESULT WINAPI GetType(GUID* type) = 0;
    virtual BOOL WINAPI IsReference() = 0;
    virtual HRESULT WINAPI GetChildren(SIZE_T* count) = 0;
    virtual HRESULT WINAPI GetChild(SIZE_T index, ID3DXFileData** child) = 0;
};

HRESULT WINAPI D3DXFileCreate(ID3DXFile** file);
