// Recording changes and walking back and forth through them with the undo
// manager, beside the hand-written pair of stacks an application would
// otherwise keep (no transactions, no merging, no events). Logging is not
// configured, as in most runs of an application.
#include "zvUndoManager.h"

#include <benchmark/benchmark.h>

#include <deque>
#include <memory>
#include <vector>

namespace {

constexpr int kSteps = 1000;

// Adds to a counter; reverting registers the opposite addition.
struct addition : zv::iModification {
    addition(zv::undoManager& undo, long& value, long delta) : manager(undo), value(value), delta(delta) {}
    static void apply(zv::undoManager& undo, long& value, long delta) {
        value += delta;
        undo.registerModification(zv::sharedPtr<zv::iModification>(new addition(undo, value, delta)));
    }
    void undo() override { apply(manager, value, -delta); }
    bool merge(const zv::sharedPtr<zv::iModification>&) override { return false; }
    zv::undoManager& manager;
    long& value;
    long delta;
};

// The peer: two stacks of owned changes, the undo stack capped like the manager's history.
struct handStacks {
    struct change {
        virtual ~change() = default;
        virtual std::unique_ptr<change> revert() = 0;
    };
    struct add : change {
        add(long& value, long delta) : value(value), delta(delta) {}
        std::unique_ptr<change> revert() override {
            value -= delta;
            return std::make_unique<add>(value, -delta);
        }
        long& value;
        long delta;
    };
    void record(std::unique_ptr<change> c) {
        redo.clear();
        undo.push_back(std::move(c));
        if (undo.size() > limit)
            undo.pop_front();
    }
    void stepBack(std::deque<std::unique_ptr<change>>& from, std::deque<std::unique_ptr<change>>& to) {
        std::unique_ptr<change> c = std::move(from.back());
        from.pop_back();
        to.push_back(c->revert());
    }
    std::deque<std::unique_ptr<change>> undo, redo;
    std::size_t limit = kSteps;
};

void undoRecord_zv(benchmark::State& state) {
    long value = 0;
    auto undo = zv::undoManager::create();
    undo->setMaxNumberOfUndoSteps(kSteps);
    for (auto _ : state)
        addition::apply(*undo, value, 1);
    benchmark::DoNotOptimize(value);
    state.SetItemsProcessed(state.iterations());
}

void undoRecord_stacks(benchmark::State& state) {
    long value = 0;
    handStacks stacks;
    for (auto _ : state) {
        value += 1;
        stacks.record(std::make_unique<handStacks::add>(value, 1));
    }
    benchmark::DoNotOptimize(value);
    state.SetItemsProcessed(state.iterations());
}

// Undo all steps, then redo all of them; items are single undo or redo steps.
void undoWalk_zv(benchmark::State& state) {
    long value = 0;
    auto undo = zv::undoManager::create();
    for (int i = 0; i < kSteps; ++i)
        addition::apply(*undo, value, 1);
    for (auto _ : state) {
        for (int i = 0; i < kSteps; ++i)
            undo->undo();
        for (int i = 0; i < kSteps; ++i)
            undo->redo();
    }
    if (value != kSteps)
        state.SkipWithError("walk did not come back");
    state.SetItemsProcessed(state.iterations() * 2 * kSteps);
}

void undoWalk_stacks(benchmark::State& state) {
    long value = 0;
    handStacks stacks;
    for (int i = 0; i < kSteps; ++i) {
        value += 1;
        stacks.record(std::make_unique<handStacks::add>(value, 1));
    }
    for (auto _ : state) {
        for (int i = 0; i < kSteps; ++i)
            stacks.stepBack(stacks.undo, stacks.redo);
        for (int i = 0; i < kSteps; ++i)
            stacks.stepBack(stacks.redo, stacks.undo);
    }
    if (value != kSteps)
        state.SkipWithError("walk did not come back");
    state.SetItemsProcessed(state.iterations() * 2 * kSteps);
}

} // namespace

BENCHMARK(undoRecord_zv);
BENCHMARK(undoRecord_stacks);
BENCHMARK(undoWalk_zv);
BENCHMARK(undoWalk_stacks);
