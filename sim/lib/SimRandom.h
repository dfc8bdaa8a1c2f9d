#pragma once

#include <QtGlobal>

namespace sensorsim {

// A small seeded generator (xoshiro256**, seeded through splitmix64) whose
// sequence is the same on every platform and standard library, so a seed
// reproduces a run exactly.
class SimRandom
{
public:
    explicit SimRandom(quint64 seed = 1) { reseed(seed); }

    void reseed(quint64 seed);
    quint64 next();
    // Uniform in [0, 1).
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [0, bound); 0 when bound is 0.
    quint64 below(quint64 bound) { return bound ? next() % bound : 0; }
    // True with the given probability.
    bool chance(double probability) { return probability > 0.0 && uniform() < probability; }
    // Roughly normal, mean 0, standard deviation 1 (sum of uniforms; cheap and bounded).
    double gaussian();
    // Number of trials before the next success of a per-trial probability
    // (0 means the very next one); a huge number for probability 0.
    qint64 geometric(double probability);

private:
    quint64 m_state[4];
};

} // namespace sensorsim
