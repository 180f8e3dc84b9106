# Quick start: `make run` opens the editor, `make test` runs every test.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test run bench fuzz tsan clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

run: build
	@$(BUILD_DIR)/src/app/zelvane $(ARGS)

bench: configure
	@BENCH=1 scripts/install-deps
	@cmake --build $(BUILD_DIR) --target bench

# Fuzz targets need clang and libFuzzer; each runs for FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
fuzz:
	@FUZZ=1 scripts/install-deps
	@cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build build-fuzz
	@mkdir -p build-fuzz/corpus && build-fuzz/truetype_repair_seeds build-fuzz/corpus
	@build-fuzz/truetype_repair_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -rss_limit_mb=2048 -timeout=10 build-fuzz/corpus
	@mkdir -p build-fuzz/corpus-osc build-fuzz/corpus-http && build-fuzz/remote_control_seeds build-fuzz/corpus-osc build-fuzz/corpus-http
	@build-fuzz/osc_decoder_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=8192 -rss_limit_mb=2048 -timeout=10 build-fuzz/corpus-osc
	@build-fuzz/http_request_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -rss_limit_mb=2048 -timeout=10 build-fuzz/corpus-http

# The threaded suites (controller and remote control, PDF export, the
# window's background saves and opens) under the thread sanitizer, in a
# tree of their own. Every report fails the run, except those listed with
# their reason in tests/tsan.supp.
TSAN_DIR ?= build-tsan
TSAN_JOBS ?= 4
TSAN_TESTS ?= ^(VectorController|DurableFile|Http|RequestArguments|ApiRoutes|OSC|RemotePaths|ServicePorts|SocketSupport|SnapshotQueue|PageExport|PDFExportMask|PDFParallelImport|FontDatabaseCalls|BackgroundSave|BackgroundOpen|PageDrawingThreads|ExportDrawingWarmUp|OverlayPart|StreamDeflate|PDFDocumentRenderTest.DocumentsTakingTurns)
tsan:
	@cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
	  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
	  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread >/dev/null
	@cmake --build $(TSAN_DIR) -j $(TSAN_JOBS) --target zelvane_control_tests zelvane_core_tests zelvane_ui_tests
	@cd $(TSAN_DIR) && G_SLICE=always-malloc TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp exitcode=66 die_after_fork=0 halt_on_error=0 second_deadlock_stack=1 history_size=4" \
	  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2 --timeout 1200 -R '$(TSAN_TESTS)'

clean:
	@rm -rf $(BUILD_DIR) $(TSAN_DIR) build-fuzz
