#include "tests/nv/VpInterpreter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

const char* const kOutNames[15] = {"HPOS", "COL0", "COL1", "BFC0", "BFC1", "FOGC", "PSIZ", "TEX0",
                                   "TEX1", "TEX2", "TEX3", "TEX4", "TEX5", "TEX6", "TEX7"};
const char* const kInNames[16] = {"OPOS", "WGHT", "NRML", "COL0", "COL1", "FOGC", "",     "",
                                  "TEX0", "TEX1", "TEX2", "TEX3", "TEX4", "TEX5", "TEX6", "TEX7"};

// Strips comments and splits into statements at ';'.
std::vector<std::string> Statements(const std::string& text) {
    std::string clean;
    bool comment = false;
    for (char ch : text) {
        if (ch == '#') comment = true;
        if (ch == '\n') comment = false;
        if (!comment) clean += ch;
    }
    std::vector<std::string> out;
    std::string cur;
    for (char ch : clean) {
        if (ch == ';') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    out.push_back(cur);
    return out;
}

std::string Squeeze(const std::string& s) {
    std::string r;
    for (char ch : s)
        if (!std::isspace(static_cast<unsigned char>(ch))) r += ch;
    return r;
}

std::vector<std::string> SplitCommas(const std::string& s) {
    std::vector<std::string> parts;
    std::string cur;
    int depth = 0;
    for (char ch : s) {
        if (ch == '[') depth++;
        if (ch == ']') depth--;
        if (ch == ',' && depth == 0) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    parts.push_back(cur);
    return parts;
}

int Component(char c) {
    return c == 'x' ? 0 : c == 'y' ? 1 : c == 'z' ? 2 : 3;
}

struct Interp {
    VpMachine& m;
    VpVec R[12] = {};
    int A0 = 0;

    VpVec Read(std::string s) {
        bool neg = false;
        if (!s.empty() && s[0] == '-') {
            neg = true;
            s = s.substr(1);
        }
        std::string swz = "xyzw";
        size_t close = s.rfind(']');
        size_t dot = s.find('.', close == std::string::npos ? 0 : close);
        if (dot != std::string::npos) {
            swz = s.substr(dot + 1);
            s = s.substr(0, dot);
        }
        VpVec src{};
        if (s[0] == 'R') {
            src = R[std::stoi(s.substr(1))];
        } else if (s[0] == 'v') {
            std::string inner = s.substr(2, s.size() - 3);
            int index = -1;
            if (std::isdigit(static_cast<unsigned char>(inner[0]))) index = std::stoi(inner);
            for (int i = 0; i < 16; i++)
                if (inner == kInNames[i]) index = i;
            src = m.in[index];
        } else if (s[0] == 'c') {
            std::string inner = s.substr(2, s.size() - 3);
            int index;
            if (inner.rfind("A0.x", 0) == 0) {
                int off = inner.size() > 4 ? std::stoi(inner.substr(4)) : 0; // "+n" or "-n"
                index = A0 + off;
            } else {
                index = std::stoi(inner);
            }
            if (index >= 0 && index < 96) src = m.c[index];
        } else {
            throw std::runtime_error("bad source " + s);
        }
        VpVec out;
        for (int i = 0; i < 4; i++) {
            char c = swz.size() == 1 ? swz[0] : swz[size_t(i)];
            out.v[i] = src.v[Component(c)] * (neg ? -1.0f : 1.0f);
        }
        return out;
    }

    void Write(std::string d, const VpVec& value) {
        std::string mask = "xyzw";
        size_t close = d.rfind(']');
        size_t dot = d.find('.', close == std::string::npos ? 0 : close);
        if (dot != std::string::npos) {
            mask = d.substr(dot + 1);
            d = d.substr(0, dot);
        }
        VpVec* dst = nullptr;
        if (d[0] == 'R') {
            dst = &R[std::stoi(d.substr(1))];
        } else {
            std::string inner = d.substr(2, d.size() - 3);
            for (int i = 0; i < 15; i++)
                if (inner == kOutNames[i]) dst = &m.out[i];
        }
        if (!dst) throw std::runtime_error("bad destination " + d);
        for (char c : mask)
            dst->v[Component(c)] = value.v[Component(c)];
    }

    static VpVec Splat(float x) { return VpVec{{x, x, x, x}}; }

    void Exec(const std::string& op, const std::vector<std::string>& args) {
        auto a = [&](int i) { return Read(args[size_t(i)]); };
        VpVec r{};
        if (op == "ARL") {
            A0 = int(std::floor(a(1).v[0]));
            return;
        } else if (op == "MOV") {
            r = a(1);
        } else if (op == "ABS") {
            r = a(1);
            for (float& x : r.v)
                x = std::fabs(x);
        } else if (op == "MUL" || op == "ADD" || op == "SUB" || op == "MIN" || op == "MAX" || op == "SLT" ||
                   op == "SGE") {
            VpVec x = a(1), y = a(2);
            for (int i = 0; i < 4; i++) {
                float p = x.v[i], q = y.v[i];
                r.v[i] = op == "MUL"   ? p * q
                         : op == "ADD" ? p + q
                         : op == "SUB" ? p - q
                         : op == "MIN" ? std::min(p, q)
                         : op == "MAX" ? std::max(p, q)
                         : op == "SLT" ? (p < q ? 1.0f : 0.0f)
                                       : (p >= q ? 1.0f : 0.0f);
            }
        } else if (op == "MAD") {
            VpVec x = a(1), y = a(2), z = a(3);
            for (int i = 0; i < 4; i++)
                r.v[i] = x.v[i] * y.v[i] + z.v[i];
        } else if (op == "RCP" || op == "RCC" || op == "RSQ" || op == "EXP" || op == "LOG") {
            float s = a(1).v[0];
            if (op == "RCP") {
                r = Splat(s == 1.0f ? 1.0f : 1.0f / s);
            } else if (op == "RCC") {
                float q = 1.0f / s;
                float mag = std::min(std::max(std::fabs(q), 5.42101e-20f), 1.84467e19f);
                r = Splat(std::signbit(q) ? -mag : mag);
            } else if (op == "RSQ") {
                r = Splat(1.0f / std::sqrt(std::fabs(s)));
            } else if (op == "EXP") {
                float fl = std::floor(s);
                r = VpVec{{std::exp2(fl), s - fl, std::exp2(s), 1.0f}};
            } else {
                float t = std::fabs(s);
                float e = std::floor(std::log2(t));
                r = VpVec{{e, t / std::exp2(e), std::log2(t), 1.0f}};
            }
        } else if (op == "DP3" || op == "DP4" || op == "DPH") {
            VpVec x = a(1), y = a(2);
            float d = x.v[0] * y.v[0] + x.v[1] * y.v[1] + x.v[2] * y.v[2];
            if (op == "DP4") d += x.v[3] * y.v[3];
            if (op == "DPH") d += y.v[3];
            r = Splat(d);
        } else if (op == "DST") {
            VpVec x = a(1), y = a(2);
            r = VpVec{{1.0f, x.v[1] * y.v[1], x.v[2], y.v[3]}};
        } else if (op == "LIT") {
            VpVec s = a(1);
            float dx = std::max(s.v[0], 0.0f), dy = std::max(s.v[1], 0.0f);
            float w = std::min(std::max(s.v[3], -128.0f + 1.0f / 256), 128.0f - 1.0f / 256);
            r = VpVec{{1.0f, dx, s.v[0] > 0 ? std::pow(dy, w) : 0.0f, 1.0f}};
        } else {
            throw std::runtime_error("unknown instruction " + op);
        }
        Write(args[0], r);
    }
};

} // namespace

bool VpRun(const std::string& text, VpMachine& m, std::string* error) {
    try {
        for (VpVec& o : m.out)
            o = VpVec{{0, 0, 0, 1}};
        Interp in{m};
        std::vector<std::string> st = Statements(text);
        for (size_t i = 0; i < st.size(); i++) {
            std::string s = st[i];
            size_t p = s.find_first_not_of(" \t\r\n");
            if (p == std::string::npos) continue;
            s = s.substr(p);
            if (i == 0) { // "!!VP1.x" then possibly an instruction or option
                s = s.substr(7);
                p = s.find_first_not_of(" \t\r\n");
                if (p == std::string::npos) continue;
                s = s.substr(p);
            }
            if (s.rfind("END", 0) == 0) break;
            if (s.rfind("OPTION", 0) == 0) continue;
            size_t sp = s.find_first_of(" \t\r\n");
            std::string op = s.substr(0, sp);
            std::vector<std::string> args = SplitCommas(Squeeze(s.substr(sp)));
            // Dummy slot 0 is the destination; Read() indices start at 1.
            in.Exec(op, args);
        }
        return true;
    } catch (const std::exception& e) {
        if (error) *error = e.what();
        return false;
    }
}
