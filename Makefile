# Vimora XP — build, run, test and measure on Debian 12.

BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
CMAKE_EXTRA_FLAGS ?=

# Debian packages the build, the tests and the benchmarks need.
PACKAGES := build-essential cmake ninja-build pkg-config \
            qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev libqt6sql6-sqlite \
            qt6-translations-l10n \
            libgtest-dev libbenchmark-dev libmspack-dev fp-utils \
            xvfb xauth xkb-data imagemagick fonts-dejavu-core fonts-dejavu-extra \
            dpkg-dev desktop-file-utils appstream lintian man-db groff-base \
            poppler-utils clang-tidy clang libclang-rt-14-dev openbox \
            postgresql libqt6sql6-psql libpq-dev python3 sqlite3 libsqlite3-dev

.PHONY: all deps display build run test test-each bench check-asan tidy clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" -ne 0 ]; then \
	    echo "Missing packages; run as root: apt-get update && apt-get install -y$$missing"; exit 1; \
	  fi; \
	  echo "Installing:$$missing"; \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_EXTRA_FLAGS)
	cmake --build $(BUILD_DIR)

# The display is looked for first: without one, nothing is installed or built in vain.
run: display build
	$(BUILD_DIR)/app/vimora

display:
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display to open the window on (DISPLAY is not set). Run it from a desktop session,"; \
	  echo "or on a virtual screen: apt-get install -y xvfb xauth && xvfb-run -a make run"; \
	  exit 1; \
	fi

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure

# Every function of every Qt Test program run alone, as CTest would run its program.
test-each: build
	cmake -DBUILD_DIR=$(BUILD_DIR) -P tests/EachFunction.cmake

bench: build
	cmake --build $(BUILD_DIR) --target run-benchmarks

check-asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVIMORA_SANITIZE=ON $(CMAKE_EXTRA_FLAGS)
	cmake --build $(ASAN_DIR)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure

# The repository's .clang-tidy over the program's own sources (the tests and fuzz targets are left
# out: their assertion macros are what the complexity checks count); any warning fails.
TIDY_DIRS := engine app about help platform text csv cli chart records dossiers bench
tidy: build
	find $(TIDY_DIRS) -name '*.cpp' -print0 | sort -z | \
	  xargs -0 -n 4 -P "$$(nproc)" clang-tidy -p $(BUILD_DIR) --quiet --warnings-as-errors='*'

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)

# Fuzzing of the CSV reader and the batch command, of the measure conversion, of the help viewer's
# reading of help files, of its keyword index and search and of the viewer window showing them,
# seeded with the help file built in $(BUILD_DIR) and, for the window, with the hostile help files
# that tests/fuzz makes once (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer); not
# part of `make test`. The window's target takes an input slower than FUZZ_VIEWER_TIMEOUT seconds
# for a finding; it checks no leaks, as Qt keeps its font caches to the end of the process.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 120
FUZZ_VIEWER_TIMEOUT ?= 5

.PHONY: fuzz
fuzz: build
	cmake -S tests/fuzz -B $(FUZZ_DIR) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_DIR) --target fuzz_csv fuzz_measure fuzz_help fuzz_help_search fuzz_help_viewer
	mkdir -p $(FUZZ_DIR)/corpus/csv $(FUZZ_DIR)/corpus/measure $(FUZZ_DIR)/corpus/help $(FUZZ_DIR)/seeds/help \
	  $(FUZZ_DIR)/corpus/help_search $(FUZZ_DIR)/seeds/help_search
	cp $(BUILD_DIR)/app/VimoraXP.chm help/content/VimoraXP.hhc $(FUZZ_DIR)/seeds/help/
	cp $(BUILD_DIR)/app/VimoraXP.chm help/content/VimoraXP.hhk help/content/objectif.htm \
	  $(FUZZ_DIR)/seeds/help_search/
	mkdir -p $(FUZZ_DIR)/corpus/help-viewer
	test -f $(FUZZ_DIR)/seeds/help-viewer/long-name.chm || tests/fuzz/make-hostile-help-files.sh \
	  $(FUZZ_DIR)/seeds/help-viewer $(BUILD_DIR)/help/tools/vimora_repair_help_file
	cp $(BUILD_DIR)/app/VimoraXP.chm help/content/VimoraXP.hhc $(FUZZ_DIR)/seeds/help-viewer/
	cd $(FUZZ_DIR) && UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ./fuzz_csv \
	  -max_total_time=$(FUZZ_SECONDS) -timeout=10 corpus/csv $(CURDIR)/tests/fuzz/seeds/csv
	cd $(FUZZ_DIR) && UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ./fuzz_measure \
	  -max_total_time=$(FUZZ_SECONDS) -timeout=10 corpus/measure $(CURDIR)/tests/fuzz/seeds/measure
	cd $(FUZZ_DIR) && UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ./fuzz_help \
	  -max_total_time=$(FUZZ_SECONDS) -timeout=10 -max_len=262144 corpus/help seeds/help
	cd $(FUZZ_DIR) && UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ./fuzz_help_search \
	  -max_total_time=$(FUZZ_SECONDS) -timeout=10 -max_len=262144 corpus/help_search seeds/help_search
	cd $(FUZZ_DIR) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ./fuzz_help_viewer -max_total_time=$(FUZZ_SECONDS) -timeout=$(FUZZ_VIEWER_TIMEOUT) -max_len=524288 \
	  corpus/help-viewer seeds/help-viewer

# The Debian package, built by CPack in $(BUILD_DIR); install it with
# apt-get install ./$(BUILD_DIR)/vimora_*.deb
.PHONY: package
package: build
	cd $(BUILD_DIR) && cpack -G DEB
