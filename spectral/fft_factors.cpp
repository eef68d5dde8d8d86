#include "spectral/fft_factors.h"

#include "spectral/errors.h"

#include <cmath>

std::vector<int32_t> FactorizeLength(int32_t n) {
    static constexpr int32_t kRadices[] = {2, 3, 4, 5, 8, 10};
    std::vector<int32_t> f;
    if (n == 1) f.push_back(1);
    int32_t rest = n;
    for (int i = 5; i >= 0 && rest > 1;) {
        if (rest % kRadices[i] == 0) {
            rest /= kRadices[i];
            f.push_back(kRadices[i]);
        } else {
            --i;
        }
    }
    // An 8 and a trailing 2 become 4 and 4.
    if (!f.empty() && f.back() == 2) {
        for (int i = int(f.size()) - 2; i >= 0; --i) {
            if (f[i] == 8) {
                f[i] = 4;
                f.back() = 4;
                break;
            }
        }
    }
    if (rest > 1) {
        const int32_t bound = int32_t(std::sqrt(double(rest)));
        for (int32_t k = 2; k <= bound; ++k) {
            while (rest % k == 0) {
                rest /= k;
                f.push_back(k);
            }
        }
        if (rest > 1) f.push_back(rest);
    }
    return {f.rbegin(), f.rend()};
}

void CheckFFTLength(int32_t n) {
    if (n <= 0) return;
    if (FactorizeLength(n).front() > cMaxPrimeFactor)
        throw EMathError(TMessage{TMessageId::FFTLength, {}, nullptr});
}
