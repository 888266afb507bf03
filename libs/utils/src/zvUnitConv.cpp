#include "zvUnitConv.h"

#include "zvException.h"

namespace zv {

namespace {

// kFactors[from][to]: one length unit of `from` in units of `to`.
constexpr double kFactors[3][3] = {
    {1, 1 / 25.4, 0.001},
    {25.4, 1, 0.0254},
    {1000, 1000 / 25.4, 1},
};

constexpr const wchar_t* kNames[3] = {L"mm", L"inch", L"meter"};

bool isValid(eUnitSystem s) {
    return s >= mm && s <= meter;
}

} // namespace

unitconv::unitconv(eUnitSystem from, eUnitSystem to) {
    const double f = isValid(from) && isValid(to) ? kFactors[from][to] : 1.0;
    m_length = f;
    m_area = f * f;
    m_volume = f * f * f;
}

eUnitSystem unitSystemFromString(const string& text) {
    const string lower = text.lower();
    for (int i = 0; i < 3; ++i)
        if (lower == kNames[i])
            return static_cast<eUnitSystem>(i);
    throw unexpectedErrorException(L"unitSystemString: invalid unitsystemstring \"%s\" given", text.c_str());
}

string unitSystemString(eUnitSystem system) {
    if (!isValid(system))
        throw unexpectedErrorException(L"unitSystemString: invalid unitsystem %d given",
                                       static_cast<int>(system));
    return kNames[system];
}

} // namespace zv
