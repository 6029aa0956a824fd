// A host library for the tests of external functions: one function for every mix of real and
// string arguments up to four, both result kinds, up to sixteen reals, and a few with
// behaviour of their own (a string result, a crash, a call counter, a variable).
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#define R double
#define S const char*

static char text[1024];
static int calls;

// "r" and "s" in `kinds` say how to read each argument. The real result weighs each argument
// by its position (a string counts its length times 1000); the text result lists them.
static double weigh(const char* kinds, va_list ap) {
    double sum = 0;
    for (int i = 0; kinds[i]; ++i) {
        if (kinds[i] == 'r')
            sum += (i + 1) * va_arg(ap, double);
        else
            sum += (i + 1) * 1000.0 * (double)strlen(va_arg(ap, const char*));
    }
    return sum;
}

static const char* list(const char* kinds, va_list ap) {
    size_t used = 0;
    text[0] = 0;
    for (int i = 0; kinds[i]; ++i) {
        if (kinds[i] == 'r')
            used += (size_t)snprintf(text + used, sizeof text - used, "%s%g", i ? "|" : "",
                                     va_arg(ap, double));
        else
            used += (size_t)snprintf(text + used, sizeof text - used, "%s%s", i ? "|" : "",
                                     va_arg(ap, const char*));
    }
    return text;
}

static double real_of(const char* kinds, ...) {
    va_list ap;
    va_start(ap, kinds);
    double r = weigh(kinds, ap);
    va_end(ap);
    return r;
}

static const char* text_of(const char* kinds, ...) {
    va_list ap;
    va_start(ap, kinds);
    const char* r = list(kinds, ap);
    va_end(ap);
    return r;
}

// f_KINDS_r returns real_of, f_KINDS_s returns text_of; f__r and f__s take nothing.
double f__r(void) { return real_of(""); }
const char* f__s(void) { return text_of(""); }
double f_r_r(R a0) { return real_of("r", a0); }
const char* f_r_s(R a0) { return text_of("r", a0); }
double f_s_r(S a0) { return real_of("s", a0); }
const char* f_s_s(S a0) { return text_of("s", a0); }
double f_rr_r(R a0, R a1) { return real_of("rr", a0, a1); }
const char* f_rr_s(R a0, R a1) { return text_of("rr", a0, a1); }
double f_rs_r(R a0, S a1) { return real_of("rs", a0, a1); }
const char* f_rs_s(R a0, S a1) { return text_of("rs", a0, a1); }
double f_sr_r(S a0, R a1) { return real_of("sr", a0, a1); }
const char* f_sr_s(S a0, R a1) { return text_of("sr", a0, a1); }
double f_ss_r(S a0, S a1) { return real_of("ss", a0, a1); }
const char* f_ss_s(S a0, S a1) { return text_of("ss", a0, a1); }
double f_rrr_r(R a0, R a1, R a2) { return real_of("rrr", a0, a1, a2); }
const char* f_rrr_s(R a0, R a1, R a2) { return text_of("rrr", a0, a1, a2); }
double f_rrs_r(R a0, R a1, S a2) { return real_of("rrs", a0, a1, a2); }
const char* f_rrs_s(R a0, R a1, S a2) { return text_of("rrs", a0, a1, a2); }
double f_rsr_r(R a0, S a1, R a2) { return real_of("rsr", a0, a1, a2); }
const char* f_rsr_s(R a0, S a1, R a2) { return text_of("rsr", a0, a1, a2); }
double f_rss_r(R a0, S a1, S a2) { return real_of("rss", a0, a1, a2); }
const char* f_rss_s(R a0, S a1, S a2) { return text_of("rss", a0, a1, a2); }
double f_srr_r(S a0, R a1, R a2) { return real_of("srr", a0, a1, a2); }
const char* f_srr_s(S a0, R a1, R a2) { return text_of("srr", a0, a1, a2); }
double f_srs_r(S a0, R a1, S a2) { return real_of("srs", a0, a1, a2); }
const char* f_srs_s(S a0, R a1, S a2) { return text_of("srs", a0, a1, a2); }
double f_ssr_r(S a0, S a1, R a2) { return real_of("ssr", a0, a1, a2); }
const char* f_ssr_s(S a0, S a1, R a2) { return text_of("ssr", a0, a1, a2); }
double f_sss_r(S a0, S a1, S a2) { return real_of("sss", a0, a1, a2); }
const char* f_sss_s(S a0, S a1, S a2) { return text_of("sss", a0, a1, a2); }
double f_rrrr_r(R a0, R a1, R a2, R a3) { return real_of("rrrr", a0, a1, a2, a3); }
const char* f_rrrr_s(R a0, R a1, R a2, R a3) { return text_of("rrrr", a0, a1, a2, a3); }
double f_rrrs_r(R a0, R a1, R a2, S a3) { return real_of("rrrs", a0, a1, a2, a3); }
const char* f_rrrs_s(R a0, R a1, R a2, S a3) { return text_of("rrrs", a0, a1, a2, a3); }
double f_rrsr_r(R a0, R a1, S a2, R a3) { return real_of("rrsr", a0, a1, a2, a3); }
const char* f_rrsr_s(R a0, R a1, S a2, R a3) { return text_of("rrsr", a0, a1, a2, a3); }
double f_rrss_r(R a0, R a1, S a2, S a3) { return real_of("rrss", a0, a1, a2, a3); }
const char* f_rrss_s(R a0, R a1, S a2, S a3) { return text_of("rrss", a0, a1, a2, a3); }
double f_rsrr_r(R a0, S a1, R a2, R a3) { return real_of("rsrr", a0, a1, a2, a3); }
const char* f_rsrr_s(R a0, S a1, R a2, R a3) { return text_of("rsrr", a0, a1, a2, a3); }
double f_rsrs_r(R a0, S a1, R a2, S a3) { return real_of("rsrs", a0, a1, a2, a3); }
const char* f_rsrs_s(R a0, S a1, R a2, S a3) { return text_of("rsrs", a0, a1, a2, a3); }
double f_rssr_r(R a0, S a1, S a2, R a3) { return real_of("rssr", a0, a1, a2, a3); }
const char* f_rssr_s(R a0, S a1, S a2, R a3) { return text_of("rssr", a0, a1, a2, a3); }
double f_rsss_r(R a0, S a1, S a2, S a3) { return real_of("rsss", a0, a1, a2, a3); }
const char* f_rsss_s(R a0, S a1, S a2, S a3) { return text_of("rsss", a0, a1, a2, a3); }
double f_srrr_r(S a0, R a1, R a2, R a3) { return real_of("srrr", a0, a1, a2, a3); }
const char* f_srrr_s(S a0, R a1, R a2, R a3) { return text_of("srrr", a0, a1, a2, a3); }
double f_srrs_r(S a0, R a1, R a2, S a3) { return real_of("srrs", a0, a1, a2, a3); }
const char* f_srrs_s(S a0, R a1, R a2, S a3) { return text_of("srrs", a0, a1, a2, a3); }
double f_srsr_r(S a0, R a1, S a2, R a3) { return real_of("srsr", a0, a1, a2, a3); }
const char* f_srsr_s(S a0, R a1, S a2, R a3) { return text_of("srsr", a0, a1, a2, a3); }
double f_srss_r(S a0, R a1, S a2, S a3) { return real_of("srss", a0, a1, a2, a3); }
const char* f_srss_s(S a0, R a1, S a2, S a3) { return text_of("srss", a0, a1, a2, a3); }
double f_ssrr_r(S a0, S a1, R a2, R a3) { return real_of("ssrr", a0, a1, a2, a3); }
const char* f_ssrr_s(S a0, S a1, R a2, R a3) { return text_of("ssrr", a0, a1, a2, a3); }
double f_ssrs_r(S a0, S a1, R a2, S a3) { return real_of("ssrs", a0, a1, a2, a3); }
const char* f_ssrs_s(S a0, S a1, R a2, S a3) { return text_of("ssrs", a0, a1, a2, a3); }
double f_sssr_r(S a0, S a1, S a2, R a3) { return real_of("sssr", a0, a1, a2, a3); }
const char* f_sssr_s(S a0, S a1, S a2, R a3) { return text_of("sssr", a0, a1, a2, a3); }
double f_ssss_r(S a0, S a1, S a2, S a3) { return real_of("ssss", a0, a1, a2, a3); }
const char* f_ssss_s(S a0, S a1, S a2, S a3) { return text_of("ssss", a0, a1, a2, a3); }

// Only reals from five arguments on: m_N_r and m_N_s.
double m_5_r(R a0, R a1, R a2, R a3, R a4) { return real_of("rrrrr", a0, a1, a2, a3, a4); }
const char* m_5_s(R a0, R a1, R a2, R a3, R a4) { return text_of("rrrrr", a0, a1, a2, a3, a4); }
double m_6_r(R a0, R a1, R a2, R a3, R a4, R a5) { return real_of("rrrrrr", a0, a1, a2, a3, a4, a5); }
const char* m_6_s(R a0, R a1, R a2, R a3, R a4, R a5) { return text_of("rrrrrr", a0, a1, a2, a3, a4, a5); }
double m_7_r(R a0, R a1, R a2, R a3, R a4, R a5, R a6) { return real_of("rrrrrrr", a0, a1, a2, a3, a4, a5, a6); }
const char* m_7_s(R a0, R a1, R a2, R a3, R a4, R a5, R a6) { return text_of("rrrrrrr", a0, a1, a2, a3, a4, a5, a6); }
double m_8_r(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7) { return real_of("rrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7); }
const char* m_8_s(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7) { return text_of("rrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7); }
double m_9_r(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8) { return real_of("rrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8); }
const char* m_9_s(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8) { return text_of("rrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8); }
double m_10_r(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9) { return real_of("rrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9); }
const char* m_10_s(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9) { return text_of("rrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9); }
double m_11_r(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10) { return real_of("rrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10); }
const char* m_11_s(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10) { return text_of("rrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10); }
double m_12_r(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10, R a11) { return real_of("rrrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11); }
const char* m_12_s(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10, R a11) { return text_of("rrrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11); }
double m_13_r(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10, R a11, R a12) { return real_of("rrrrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12); }
const char* m_13_s(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10, R a11, R a12) { return text_of("rrrrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12); }
double m_14_r(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10, R a11, R a12, R a13) { return real_of("rrrrrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13); }
const char* m_14_s(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10, R a11, R a12, R a13) { return text_of("rrrrrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13); }
double m_15_r(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10, R a11, R a12, R a13, R a14) { return real_of("rrrrrrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14); }
const char* m_15_s(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10, R a11, R a12, R a13, R a14) { return text_of("rrrrrrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14); }
double m_16_r(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10, R a11, R a12, R a13, R a14, R a15) { return real_of("rrrrrrrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15); }
const char* m_16_s(R a0, R a1, R a2, R a3, R a4, R a5, R a6, R a7, R a8, R a9, R a10, R a11, R a12, R a13, R a14, R a15) { return text_of("rrrrrrrrrrrrrrrr", a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15); }

const char* cut_text(void) { return "ab\0cd"; }
const char* no_text(void) { return NULL; }
const char* greet(S name) {
    snprintf(text, sizeof text, "hello %s", name);
    return text;
}

double crash(double x) {
    volatile int* nowhere = NULL;
    *nowhere = (int)x;
    return x;
}

double count_calls(void) { return ++calls; }

int a_variable = 7;
