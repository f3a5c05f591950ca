# Entry points: `make test` (both builds, every test), `make demo`, `make bench`, `make fuzz`.
# Configuration lives in CMakePresets.json: "default" (RelWithDebInfo) and "sanitize"
# (Debug with AddressSanitizer + UBSan), and "fuzz" (clang, libFuzzer) for `make fuzz`.

.PHONY: all deps build test test-default test-sanitize demo bench fuzz clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default

test: test-default test-sanitize

test-default: build
	ctest --preset default

test-sanitize: deps
	cmake --preset sanitize
	cmake --build --preset sanitize
	ctest --preset sanitize

# Plans the bundled gearbox with the command-line host into build/demo (plan.json, exploded.glb,
# exploded.obj, preview.png and the steps that free the input gear), then runs the C++ example
# host, which writes its OBJ files into build/default.
demo: build
	build/default/tools/tolvane/tolvane examples/data/gearbox.glb -o build/demo --remove input-gear
	cd build/default && examples/koDemo

bench: build
	@for b in $$(find build/default/bench -maxdepth 1 -type f -executable | sort); do \
	  echo "== $$b"; \
	  "$$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; \
	done

# tolvane's import under libFuzzer for FUZZ_SECONDS, starting from the committed seeds; new inputs
# it finds go to build/fuzz/corpus, crashes to build/fuzz/.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	mkdir -p build/fuzz/corpus
	LSAN_OPTIONS=suppressions=tests/tools/fuzz/lsan-assimp.supp \
	  build/fuzz/tests/tolvaneImportFuzzer build/fuzz/corpus tests/tools/fuzz/seeds \
	  -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
	  -artifact_prefix=build/fuzz/

clean:
	rm -rf build
