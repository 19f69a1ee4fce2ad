#!/usr/bin/env python3
"""The namespace check and its compiler mode on small trees of their own: a
tree that keeps the rule passes; each breach fails with its file, its line,
the namespace found and what the rule wants; text in comments and strings
never counts."""

import os
import subprocess
import sys
import tempfile

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                     "check-namespaces")

# A tree that keeps every part of the rule, with the exceptions it allows.
CLEAN = {
    "binding/value.h": "namespace zel {\nclass BindingValue {};\n"
                       "namespace binding::internal {\ntemplate <typename T> struct Support {};\n}\n}\n",
    "binding/value.cpp": "#include \"binding/value.h\"\nnamespace zel {\nnamespace {\nint helper() { return 1; }\n}\n"
                         "void BindingValue::reset() {}\n}\n"
                         "void zel::binding::internal::outOfLine() {}\n",
    "binding/internal/pool.h": "namespace zel {\nclass BindingValue;\ntemplate <typename T> struct Box;\n}\n"
                               "namespace zel::binding::internal {\nclass Pool {};\n}\n",
    "binding/messages.h": "namespace zel::binding::messages {\n"
                          "inline constexpr const char* kBad = \"namespace zel { int x; }\";\n}\n",
    "formats/reader_limits.h": "namespace zel::formats {\ninline constexpr int kMaxDepth = 512;\n"
                               "constexpr int budget(int n) noexcept { return n * 2; }\n}\n",
    "memory/memory.h": "namespace zel::memory {\nvoid* allocate(unsigned size);\n}\n",
    "memory/operator_new.cpp": "void* operator new(unsigned long size) { return nullptr; }\n"
                               "void operator delete(void* block) noexcept {}\n",
    "diagnostics/logger.h": "namespace zel {\nnamespace logger {\nvoid flush();\n}\n"
                            "namespace platform {\nstruct LocalTime;\n}\n}\n",
    "maps/exports.cpp": "static_assert(sizeof(int) == 4);\nZEL_PLUGIN_ENTRY(zel::maps::MapsService)\n",
    "maps/maps_service.h": "namespace zel::maps {\nclass MapsService {};\n}\n",
    "host/plugin_host.h": "namespace zel::host {\nclass PluginHost {};\n}\n",
    "host/dev/cli/main.cpp": "namespace zel::host::cli {\nint run();\n}\n"
                             "int main(int argc, char** argv) { return zel::host::cli::run(); }\n",
    "tests/binding/value_test.cpp": "namespace zel {\nnamespace {\n"
                                    "TEST(ValueTest, Empty) { ::testing::Message(); }\n}\n}\n",
    "tests/binding/internal_test.cpp": "namespace zel::binding::internal {\nnamespace {\n"
                                       "TEST(PoolTest, Grows) {}\n}\n}\n",
    "tests/formats/value_text.h": "namespace zel::testing_support {\nstd::string describe();\n}\n",
    "tests/reliability/lifecycle_test.cpp": "namespace zel::reliability {\nnamespace {\n"
                                            "TEST(Lifecycle, Loads) {}\n}\n}\n",
    "tests/host/dev/child.h": "namespace zel::host::testing_support {\nclass Child {};\n}\n",
    "fuzz/json_fuzzer.cpp": "namespace {\nvoid check() {}\n}\n"
                            "extern \"C\" int LLVMFuzzerTestOneInput(const char* d, long n) { return 0; }\n",
    "fuzz/differential.h": "namespace zel::fuzz {\ninline void expectSame() {}\n}\n",
    "bench/goal_table.h": "namespace zel::bench {\nstruct Goal {};\n}\n",
    "examples/zel-notes/notes_plugin.h": "// namespace zel::notes { is what it was\n"
                                         "namespace notes {\nclass NotesPlugin : public zel::PluginBase {};\n}\n",
    "examples/zel-notes/notes_plugin.cpp": "namespace notes {\nnamespace {\nconst char* k = R\"(\n"
                                           "namespace zel {\n)\";\n}\n}\n"
                                           "ZEL_PLUGIN_ENTRY(notes::NotesPlugin)\n",
    "host/dev/new_project/project_template/plugin.h.in": "namespace @FILE@_plugin {\n"
                                                         "class @CLASS@Plugin {};\n}\n",
    "boundary/compiler.h": "#define ZEL_EXPORT __attribute__((visibility(\"default\")))\n",
    "boundary/compiler_hints.h": "#define ZEL_ALWAYS_INLINE inline __attribute__((always_inline))\n"
                                 "#define ZEL_PREFETCH_FOR_WRITE(a) __builtin_prefetch((a), 1)\n",
    "memory/memory.cpp": "#include \"boundary/compiler_hints.h\"\n// __builtin_prefetch is spelled there\n"
                         "namespace zel::memory {\nZEL_ALWAYS_INLINE void count() {}\n"
                         "const char* k = \"__declspec\";\n}\n",
}

# (name, files added to the clean tree, the texts the breach report holds)
BREACHES = [
    ("internal_in_zel", {"api/internal/invocation.h": "#pragma once\n\nnamespace zel {\nclass X {};\n}\n"},
     ["api/internal/invocation.h:3: namespace zel; wants zel::api::internal"]),
    ("forward_then_definition", {"api/internal/route.h": "namespace zel {\nclass Route;\n"
                                                         "class Route final : public Base {};\n}\n"},
     ["api/internal/route.h:1: namespace zel; wants zel::api::internal"]),
    ("testing_hides_gtest", {"tests/formats/text.h": "namespace zel::testing {\nint f();\n}\n"},
     ["tests/formats/text.h:1: namespace zel::testing: no namespace is called testing"]),
    ("testing_even_empty", {"tests/maps/support.h": "namespace zel::maps::testing {\n}\n"},
     ["tests/maps/support.h:1: namespace zel::maps::testing"]),
    ("detail_in_fuzz", {"fuzz/d.h": "namespace zel::fuzz {\nnamespace detail {\nint f();\n}\n}\n"},
     ["fuzz/d.h:2: namespace zel::fuzz::detail: no namespace is called detail"]),
    ("example_in_zel", {"examples/zel-notes/n.h": "\nnamespace zel::notes {\nclass N {};\n}\n"},
     ["examples/zel-notes/n.h:2: namespace zel::notes; wants the author's own namespace"]),
    ("template_in_zel", {"host/dev/project_template/test.cpp.in":
                         "namespace zel::host {\nnamespace {\nTEST_F(A, B) {}\n}\n}\n"},
     ["host/dev/project_template/test.cpp.in:2: namespace zel::host (anonymous)"]),
    ("reported_once", {"api/internal/route.cpp": "namespace zel {\nint f();\nnamespace {\nint g();\n}\n}\n",
                       "tests/api/t.h": "namespace zel::testing {\nint f();\nnamespace inner {\nint g();\n}\n}\n"},
     ["api/internal/route.cpp:1: namespace zel; wants zel::api::internal",
      "tests/api/t.h:1: namespace zel::testing: no namespace is called testing"]),
    ("texts_in_zel", {"diagnostics/messages.h": "namespace zel {\ninline constexpr int kText = 1;\n}\n"},
     ["diagnostics/messages.h:1: namespace zel; wants zel::diagnostics::messages"]),
    ("texts_under_internal", {"plugin/internal/messages.h": "namespace zel::plugin::messages {\n"
                                                            "inline constexpr int kText = 1;\n}\n"},
     ["plugin/internal/messages.h:1: namespace zel::plugin::messages; wants zel::plugin::internal"]),
    ("stray_internal", {"binding/convert_native.h": "namespace zel {\nnamespace internal {\n"
                                                    "struct Tag {};\n}\n}\n"},
     ["binding/convert_native.h:2: namespace zel::internal; wants zel, zel::binding::messages"]),
    ("folder_namespace_holds_limits_only", {"formats/reader.h": "namespace zel::formats {\n"
                                                                "class Reader {};\n}\n"},
     ["formats/reader.h:1: namespace zel::formats (line 2 is not a limit)"]),
    ("global_in_library", {"api/route.cpp": "#include \"api/route.h\"\n\nint helper() { return 1; }\n"},
     ["api/route.cpp:3: the global namespace; wants zel, zel::api::messages"]),
    ("anonymous_in_header", {"binding/k.h": "namespace zel {\nnamespace {\nint k;\n}\n}\n"},
     ["binding/k.h:2: namespace zel (anonymous, in a header)"]),
    ("anonymous_in_foreign_namespace", {"tests/maps/e2e_test.cpp": "namespace zel::host {\n"
                                                                   "namespace {\nTEST(A, B) {}\n}\n}\n"},
     ["tests/maps/e2e_test.cpp:2: namespace zel::host (anonymous); wants zel, zel::maps"]),
    ("test_outside_what_it_tests", {"tests/plugin/entry_test.cpp": "namespace zel::load_check {\n"
                                                                    "struct Place {};\n}\n"},
     ["tests/plugin/entry_test.cpp:1: namespace zel::load_check; wants zel, zel::plugin"]),
    ("cli_outside_the_command_line", {"host/calling/caller.h": "namespace zel::host::cli {\n"
                                                               "int f();\n}\n"},
     ["host/calling/caller.h:1: namespace zel::host::cli; wants zel::host (with"]),
    ("bench_in_host", {"bench/catalogue_bench.cpp": "namespace zel::host {\nint f() { return 1; }\n}\n"},
     ["bench/catalogue_bench.cpp:1: namespace zel::host; wants zel::bench"]),
]

COMPILER_BREACHES = [
    ("attribute", {"memory/memory.cpp": "namespace zel::memory {\n"
                                        "inline __attribute__((always_inline)) void f() {}\n}\n"},
     ["memory/memory.cpp:2: __attribute__ is compiler-specific"]),
    ("pretty_function", {"binding/type_identity.h": "// names T\nconstexpr auto s = __PRETTY_FUNCTION__;\n"},
     ["binding/type_identity.h:2: __PRETTY_FUNCTION__"]),
    ("builtin", {"binding/internal/tree.cpp": "void f(int* p) { __builtin_prefetch(p, 1); }\n"},
     ["binding/internal/tree.cpp:1: __builtin_prefetch"]),
    ("attribute_elsewhere_in_boundary", {"boundary/host_api.h": "#define X __attribute__((packed))\n"},
     ["boundary/host_api.h:1: __attribute__"]),
    ("declspec_in_host", {"host/loading/entry.h": "\n\n#define X __declspec(dllexport)\n"},
     ["host/loading/entry.h:3: __declspec"]),
    ("intrinsic", {"diagnostics/format.cpp": "void f() { _mm_pause(); }\n"},
     ["diagnostics/format.cpp:1: _mm_pause"]),
    ("forceinline_and_funcsig", {"api/a.h": "__forceinline void f();\nconst char* s = __FUNCSIG__;\n"},
     ["api/a.h:1: __forceinline", "api/a.h:2: __FUNCSIG__"]),
]


def write_tree(root, files):
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)


def run(root, *args):
    result = subprocess.run([sys.executable, CHECK, "--root", root, *args], capture_output=True,
                            text=True, check=False)
    return result.returncode, result.stdout + result.stderr


def expect(name, files, args, want_failure, texts):
    with tempfile.TemporaryDirectory() as root:
        write_tree(root, {**CLEAN, **files})
        status, output = run(root, *args)
    wrong = (status != 0) != want_failure or status not in (0, 1)
    missing = [text for text in texts if text not in output]
    # A breach is reported once, on its own line, and nothing else is.
    extra = [line for line in output.splitlines()
             if want_failure and line and not any(text in line for text in texts)]
    if wrong or missing or extra:
        print(f"FAIL {name}: exit {status}; missing {missing}; unexpected {extra}\n{output}")
        return False
    print(f"ok   {name}")
    return True


def main():
    results = [expect("clean", {}, [], False, ["namespaces:"]),
               expect("clean_compilers", {}, ["--compilers"], False, ["compilers:"])]
    for name, files, texts in BREACHES:
        results.append(expect(name, files, [], True, texts))
    for name, files, texts in COMPILER_BREACHES:
        results.append(expect(name, files, ["--compilers"], True, texts))
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
