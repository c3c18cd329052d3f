// The views that the demo script's document model hands out: named resources,
// properties and controls yield value records; collections find them by name;
// an error list collects the loader's complaints.
//
// The loader (TFileXMLParser) owns every object of the model for its own
// lifetime. IResource and IResources are non-owning views: adding or
// releasing references on them never frees anything.
#pragma once

#include "platform/Exception.h"
#include "platform/RefCounted.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Value record kinds.
enum TValueKind : int32_t {
    vkNone = 0,        // nothing (a resource not loaded yet, a pos or euler control)
    vkFloat = 2,       // one 32-bit float
    vkText = 3,        // zero-terminated text
    vkColor = 6,       // four 32-bit floats: red, green, blue, alpha
    vkImage = 7,       // image interface
    vkTexture = 8,     // texture interface (also a cube texture without cube-map hardware)
    vkCubeTexture = 9, // cube texture interface
    vkData = 10,       // a block of bytes and its size
};

// A reference to a block of bytes followed by its 32-bit size.
struct TValueBlock {
    const void* Data;
    uint32_t Size;
};

// What a named resource, property or control yields: a 32-bit kind code and
// the value. The holders after the value keep referenced objects alive.
struct TValueRecord {
    int32_t Kind = vkNone;
    union {
        float Floats[4] = {0, 0, 0, 0}; // kinds 2 and 6
        const char* Text;               // kind 3
        IInterface* Interface;          // kinds 7, 8, 9
        TValueBlock Block;              // kind 10
    };
    TRefPtr<IInterface> InterfaceHolder;
    std::shared_ptr<const std::vector<uint8_t>> DataHolder;

    void SetFloat(float value);
    void SetColor(float r, float g, float b, float a);
    // The text must outlive the record (the document model keeps it).
    void SetText(const char* text);
    // Stores an interface of kind 7, 8 or 9 and holds a reference to it.
    void SetInterface(int32_t kind, TRefPtr<IInterface> value);
    // Stores a data block (kind 10) and keeps the bytes.
    void SetData(std::shared_ptr<const std::vector<uint8_t>> bytes);
};

// The value bytes of a record (the start of its value field).
inline const void* ValueBytes(const TValueRecord* value) {
    return value->Floats;
}
// A counted copy of the interface a record of kind 7, 8 or 9 holds.
inline TRefPtr<IInterface> ValueInterface(const TValueRecord* value) {
    bool isInterface = value->Kind == vkImage || value->Kind == vkTexture || value->Kind == vkCubeTexture;
    return TRefPtr<IInterface>(isInterface ? value->Interface : nullptr);
}

// The error of a text that is not a number: "'%s' is not a valid floating point value".
ZUMBRIX_EXCEPTION(EConvertError, Exception);
// Converts a decimal number written with "." (surrounding spaces allowed).
// Raises EConvertError when the text is not a valid number.
double StrToFloat(std::string_view text);
// The text of a kind 3 record read as a number (StrToFloat).
float ValueTextToFloat(const TValueRecord* value);

// {C66B41A4-1F41-4DE5-B1D3-92EB99A4720C}
constexpr TGuid IID_IResource = {
    0xC66B41A4, 0x1F41, 0x4DE5, {0xB1, 0xD3, 0x92, 0xEB, 0x99, 0xA4, 0x72, 0x0C}};
// {EF432985-ADCB-4965-B194-BAC7106F8F8A}
constexpr TGuid IID_IResources = {
    0xEF432985, 0xADCB, 0x4965, {0xB1, 0x94, 0xBA, 0xC7, 0x10, 0x6F, 0x8F, 0x8A}};
// {0B20B68D-AFFC-4F1D-94BF-7E714AD12CEC}
constexpr TGuid IID_IResourceErrors = {
    0x0B20B68D, 0xAFFC, 0x4F1D, {0x94, 0xBF, 0x7E, 0x71, 0x4A, 0xD1, 0x2C, 0xEC}};

// A named thing that yields a value record.
class IResource : public virtual IInterface {
public:
    // The value record; valid while the document model lives.
    virtual TValueRecord* GetValue() = 0;
    virtual void GetName(std::string& name) = 0;

protected:
    ~IResource() override = default;
};

// A collection of named resources.
class IResources : public virtual IInterface {
public:
    // Sets resource to the first member named exactly name; leaves it as it
    // was when there is none. Controls evaluate at time on their next GetValue.
    virtual void Find(const std::string& name, TRefPtr<IResource>& resource, double time) = 0;

protected:
    ~IResources() override = default;
};

// The loader's error list.
class IResourceErrors : public virtual IInterface {
public:
    virtual void AddError(const std::string& message) = 0;
    // Every line, each followed by a line break.
    virtual void GetText(std::string& text) = 0;

protected:
    ~IResourceErrors() override = default;
};

// Finds name in a collection and returns its value record, or null.
const TValueRecord* FindResourceValue(IResources* resources, const char* name, double time);

// Base of the document model's objects: they answer the reference operations
// without counting, since the loader owns them.
class TModelObject : public virtual IInterface {
public:
    TModelObject() = default;
    TModelObject(const TModelObject&) = delete;
    TModelObject& operator=(const TModelObject&) = delete;
    virtual ~TModelObject() = default;

    bool QueryInterface(const TGuid&, void** out) override {
        if (out) *out = nullptr;
        return false;
    }
    int AddRef() override { return 1; }
    int Release() override { return 1; }
};
