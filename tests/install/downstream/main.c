/* A program of someone who installed Varnel: one worked case of the state equation, through the
 * installed header and library. Exits 1 on a wrong answer. */
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <varnel.h>
#include <varnel_version.h>

int main(void) {
    LineAttrib conductor;
    WeatherCondition cold, hot;
    double stress = 0;
    memset(&conductor, 0, sizeof conductor);
    memset(&cold, 0, sizeof cold);
    memset(&hot, 0, sizeof hot);
    conductor.area = 275.96; /* JL/G1A-240/30 */
    conductor.diameter = 21.6;
    conductor.unitMass = 922.2;
    conductor.elasticModulus = 73000;
    conductor.expansionCoeff = 19.6e-6;
    cold.temperature = -10;
    hot.temperature = 40;
    if (!StateEquationGetForce(300, 1, &conductor, &cold, &hot, 100, &stress)) return 1;
    printf("Varnel %s: 300 m, -10 to 40 degC: %.4f N/mm2\n", VARNEL_VERSION_STRING, stress);
    return fabs(stress - 66.1823) < 5e-5 && VARNEL_VERSION_MAJOR >= 1 ? 0 : 1;
}
