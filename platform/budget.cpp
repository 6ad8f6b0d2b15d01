#include "platform/budget.h"

namespace {
int64_t load_budget_used = 0;

std::string Megabytes(int64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}
} // namespace

void StartLoadBudget() {
    load_budget_used = 0;
}

bool TakeLoadBudget(int64_t bytes, std::string* reason) {
    int64_t left = kLoadBudgetBytes - load_budget_used;
    if (bytes <= left) {
        load_budget_used += bytes;
        return true;
    }
    *reason = "needs " + Megabytes(bytes) + ", over the " + Megabytes(left) + " left of the " +
              Megabytes(kLoadBudgetBytes) + " that pictures and textures may take together";
    return false;
}

int64_t PictureBudgetBytes(int width, int height) {
    int64_t tw = 1, th = 1;
    while (tw < width)
        tw *= 2;
    while (th < height)
        th *= 2;
    return 4 * (int64_t(width) * height + tw * th);
}
