#include "libraries/components/component_loaders.h"

#include "libraries/field_text.h"
#include "libraries/table_loader.h"

namespace varnel {

namespace {

// The tables hold expansion coefficients in 10⁻⁶/°C; the records in 1/°C. A multiplication by
// the double 1e-6, as the host's own figures are computed: 19.3 gives 1.9299999999999998e-05.
constexpr double kPerMillion = 1e-6;

}  // namespace

int loadLineAttribs(LineAttribLib& library, const char* path) {
    return loadTable(library, path, 11, [](const RowFields& t, LineAttrib& r) {
        copyText(r.name, fieldText(t[0]));
        r.area = parseReal(t[1]);
        r.diameter = parseReal(t[2]);
        r.unitMass = parseReal(t[3]);
        r.column4Value = parseReal(t[4]);
        r.elasticModulus = parseReal(t[5]);
        r.expansionCoeff = parseReal(t[6]) * kPerMillion;
        r.column7Value = parseReal(t[7]);
        r.ratedStrength = parseReal(t[8]);
        r.column9Number = parseWhole(t[9]);
        copyText(r.column10Text, fieldText(t[10]));
    });
}

int loadHBLineAttribs(HBLineAttribLib& library, const char* path) {
    return loadTable(library, path, 12, [](const RowFields& t, HBLineAttrib& r) {
        copyText(r.name, fieldText(t[0]));
        r.column9Number = parseWhole(t[9]);
        r.column1Value = parseReal(t[1]);
        r.column3Value = parseReal(t[3]);
        r.column2Value = parseReal(t[2]);
        r.column5Value = parseReal(t[5]);
        r.column6Value = parseReal(t[6]) * kPerMillion;
        r.column8Value = parseReal(t[8]);
        r.column11Value = parseReal(t[11]);
        r.column4Value = parseReal(t[4]);
        r.column7Value = parseReal(t[7]);
        copyText(r.column10Text, fieldText(t[10]));
    });
}

int loadInsulatorAttribs(InsulatorAttribLib& library, const char* path) {
    return loadTable(library, path, 25, [](const RowFields& t, InsulatorAttrib& r) {
        r.column4Value = parseReal(t[4]);
        copyText(r.column5Text, fieldText(t[5]));
        r.column6Number = parseWhole(t[6]);
        r.column7Value = parseReal(t[7]);
        r.column8Value = parseReal(t[8]);
        r.column9Number = parseWhole(t[9]);
        r.column10Value = parseReal(t[10]);
        copyText(r.column11Text, fieldText(t[11]));
        r.column12Value = parseReal(t[12]);
        r.column13Number = parseWhole(t[13]);
        r.column14Value = parseReal(t[14]);
        r.column15Value = parseReal(t[15]);
        r.column16Number = parseWhole(t[16]);
        r.column17Value = parseReal(t[17]);
        copyText(r.column18Text, fieldText(t[18]));
        r.column19Value = parseReal(t[19]);
        r.column20Value = parseReal(t[20]);
        r.column21Value = parseReal(t[21]);
        r.column22Value = parseReal(t[22]);
        r.column23Number = parseWhole(t[23]);
        copyText(r.column24Text, fieldText(t[24]));
        r.column0Value = parseReal(t[0]);
        r.column1Value = parseReal(t[1]);
        r.column2Value = parseReal(t[2]);
        r.column3Value = parseReal(t[3]);
    });
}

}  // namespace varnel
