// Value records and the small helpers around the document views.
#include "script/ScriptDocument.h"

#include "script/DecimalText.h"

#include "platform/Format.h"

#include <charconv>
#include <cmath>

void TValueRecord::SetFloat(float value) {
    Kind = vkFloat;
    Floats[0] = value;
}

void TValueRecord::SetColor(float r, float g, float b, float a) {
    Kind = vkColor;
    Floats[0] = r;
    Floats[1] = g;
    Floats[2] = b;
    Floats[3] = a;
}

void TValueRecord::SetText(const char* text) {
    Kind = vkText;
    Text = text;
}

void TValueRecord::SetInterface(int32_t kind, TRefPtr<IInterface> value) {
    Kind = kind;
    InterfaceHolder = value;
    Interface = value.Get();
}

void TValueRecord::SetData(std::shared_ptr<const std::vector<uint8_t>> bytes) {
    Kind = vkData;
    DataHolder = std::move(bytes);
    Block.Data = DataHolder ? DataHolder->data() : nullptr;
    Block.Size = DataHolder ? static_cast<uint32_t>(DataHolder->size()) : 0;
}

double StrToFloat(std::string_view text) {
    // Surrounding spaces are allowed; "." is the decimal separator whatever
    // the locale; a leading "+" is accepted.
    size_t first = text.find_first_not_of(' ');
    size_t last = text.find_last_not_of(' ');
    bool ok = first != std::string_view::npos;
    double value = 0;
    if (ok) {
        const char* begin = text.data() + first;
        const char* end = text.data() + last + 1;
        // Most numbers in scripts are plain decimals: read those directly.
        bool negative = *begin == '-';
        if (ReadPlainDecimal(begin + (negative ? 1 : 0), end, value)) return negative ? -value : value;
        if (*begin == '+' && end - begin > 1 && begin[1] != '-') ++begin;
        auto r = std::from_chars(begin, end, value);
        ok = r.ptr == end && (r.ec == std::errc() || r.ec == std::errc::result_out_of_range) &&
             std::isfinite(value);
        // Names such as "inf" and "nan" are no numbers here.
        for (const char* p = begin; ok && p < end; ++p)
            if ((*p < '0' || *p > '9') && *p != '.' && *p != '-' && *p != '+' && *p != 'e' && *p != 'E')
                ok = false;
        if (ok && r.ec == std::errc::result_out_of_range) {
            // Too large for a double is an error; too small reads as zero.
            long double wide = 0;
            auto w = std::from_chars(begin, end, wide);
            bool tooLarge = w.ec == std::errc() ? std::fabs(wide) > 1
                                                : text.find("e-") == std::string_view::npos &&
                                                      text.find("E-") == std::string_view::npos;
            ok = !tooLarge;
            value = 0;
        }
    }
    if (!ok)
        throw EConvertError(Format("'%s' is not a valid floating point value", std::string(text).c_str()));
    return value;
}

float ValueTextToFloat(const TValueRecord* value) {
    return static_cast<float>(StrToFloat(value->Text ? value->Text : ""));
}

const TValueRecord* FindResourceValue(IResources* resources, const char* name, double time) {
    if (!resources) return nullptr;
    TRefPtr<IResource> found;
    resources->Find(name, found, time);
    return found ? found->GetValue() : nullptr;
}
