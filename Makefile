# Tirvex: `make run` plays under a GUI or on the console, `make test` runs every test.
#   make run     build the release engine in build/, make the endgame tables in run/egbb when
#                missing, and start the engine in run/ (its Tirvex.ini)
#   make test    release build + all tests (fast, slow, xboard), then a sanitizer build
#                (address and undefined-behaviour checkers) running the fast and slow tests,
#                then every fuzz target for TEST_FUZZ_SECONDS
#   make bench   speed figures and the search node signature (build/tirvex_bench), and the
#                endgame tables' generation (CPU time, positions per second), size, probe time
#                and memory, and the conversion commands on the master collection
#                (tools/records_bench.sh)
#   make scale   the conversions and the book pipeline on collections of 5,000 to 200,000 games
#                (the master games cut short), with time and peak memory per stage
#   make match   20 games of 1 minute + 1 second against fairymax under xboard, with the score
#   make fuzz    the libFuzzer targets (clang), FUZZ_SECONDS each (default 60)
#   make book    an opening book from PGN games: make book PGN=games.pgn [BOOK=run/book]
#   make install the engine, launcher, book, tables, man page and xboard menu entry under
#                $(DESTDIR)$(PREFIX) (PREFIX=/usr/local by default); make uninstall removes them
#   make deb     the Debian package build/tirvex_VERSION_ARCH.deb (installs under /usr)
# Missing tools are installed with apt-get (through sudo when not root), each only when its
# check fails.

BUILD := build
SANITIZE_BUILD := build-sanitize
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS := 60
TEST_FUZZ_SECONDS := 10
# The default book, built by make run from the shipped master games when it is missing.
DEFAULT_PGN := data/masters_5000.pgn.gz
PGN := $(DEFAULT_PGN)
BOOK := run/book
JOBS := 2
PREFIX ?= /usr/local
DESTDIR ?=
export PATH := $(PATH):/usr/games

# "command:package" installs package when command is missing; "dpkg:package" when the
# package is not installed.
BUILD_TOOLS := cmake:cmake g++:g++ cc:gcc dpkg:libgtest-dev dpkg:libzstd-dev dpkg:libgaviotatb-dev dpkg:gaviotatb
MATCH_TOOLS := xboard:xboard xvfb-run:xvfb xauth:xauth fairymax:fairymax
FUZZ_TOOLS := clang++:clang
# pgn-extract replays the master collection as the record and book tests' independent oracle.
RECORD_TOOLS := pgn-extract:pgn-extract
# GNU time gives the peak memory of every stage in make scale.
SCALE_TOOLS := dpkg:time
# Debian's Polyglot opening book, which the Polyglot book tests read and play from.
POLYGLOT_TOOLS := dpkg:gnuchess-book
DEB_TOOLS := dpkg-shlibdeps:dpkg-dev strip:binutils
PACKAGE_TEST_TOOLS := lintian:lintian
# apt-get runs through sudo for a user who is not root.
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

define install
	@missing=""; \
	for need in $(1); do \
	  check=$${need%%:*}; package=$${need#*:}; \
	  if [ "$$check" = dpkg ]; then dpkg -s "$$package" > /dev/null 2>&1 || missing="$$missing $$package"; \
	  else command -v "$$check" > /dev/null || missing="$$missing $$package"; fi; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing > /dev/null; \
	fi
endef

.PHONY: all build run book test bench scale match fuzz fuzz-build deps-build deps-match deps-fuzz deps-records deps-scale deps-polyglot egbb
.PHONY: install uninstall deb package-data deps-deb deps-package-test

all: build

deps-build:
	$(call install,$(BUILD_TOOLS))

deps-match:
	$(call install,$(MATCH_TOOLS))

deps-fuzz:
	$(call install,$(FUZZ_TOOLS))

deps-records:
	$(call install,$(RECORD_TOOLS))

deps-scale:
	$(call install,$(SCALE_TOOLS))
deps-polyglot:
	$(call install,$(POLYGLOT_TOOLS))

deps-deb:
	$(call install,$(DEB_TOOLS))

deps-package-test:
	$(call install,$(PACKAGE_TEST_TOOLS))

build: deps-build
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release > /dev/null
	cmake --build $(BUILD) -j$(JOBS)

# The endgame tables in run/egbb, each made only when its file is missing or unreadable,
# and the library that the engine loads from there (EGBB_PATH=egbb in run/Tirvex.ini).
# The tables are made once, in the directory the table tests and the package read too.
TABLES = $(BUILD)/egbb-tables
egbb: build
	$(BUILD)/tirvex_egbbgen $(TABLES)
	mkdir -p run/egbb
	cp -u $(TABLES)/*.tvb $(BUILD)/egbbdll.so run/egbb/

run: build egbb
	@tools/makebook.sh --missing $(BUILD)/tirvex $(DEFAULT_PGN) run/book
	cd run && ../$(BUILD)/tirvex

book: build
	tools/makebook.sh $(BUILD)/tirvex $(PGN) $(BOOK)

# The xboard match runs alone so that no other test competes for the CPU during its games; the
# package test, which runs make install and make deb on the release build, runs after it.
test: build deps-match deps-records deps-polyglot fuzz-build deps-deb deps-package-test
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -LE 'xboard|package'
	cd $(BUILD) && ctest --output-on-failure -L 'xboard|package'
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Sanitize -DTIRVEX_EGBB_TABLES=$(abspath $(TABLES)) \
	  -DTIRVEX_EGBB_GENERATOR=$(abspath $(BUILD))/tirvex_egbbgen > /dev/null
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j$(JOBS) -LE 'xboard|package'
	tools/fuzz.sh $(FUZZ_BUILD) $(TEST_FUZZ_SECONDS)

bench: build
	@tools/makebook.sh --missing $(BUILD)/tirvex $(DEFAULT_PGN) run/book
	$(BUILD)/tirvex_bench
	tools/egbb/bench.sh $(BUILD)
	tools/records_bench.sh $(BUILD)/tirvex

scale: build deps-records deps-scale
	tools/scale_bench.sh $(BUILD)/tirvex

fuzz-build: deps-fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Fuzz -DTIRVEX_FUZZ=ON > /dev/null
	cmake --build $(FUZZ_BUILD) -j$(JOBS)

fuzz: fuzz-build
	tools/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# What is installed besides the programs, each made only when missing: the default book from
# the shipped games, and the endgame tables in the directory that the table tests read too.
PACKAGE_BOOK = $(BUILD)/book
package-data: build
	@tools/makebook.sh --missing $(BUILD)/tirvex $(DEFAULT_PGN) $(PACKAGE_BOOK)
	$(BUILD)/tirvex_egbbgen $(TABLES)

install: package-data
	tools/package/install.sh install "$(DESTDIR)" "$(PREFIX)" $(BUILD) $(PACKAGE_BOOK) $(TABLES)

uninstall:
	tools/package/install.sh uninstall "$(DESTDIR)" "$(PREFIX)"

deb: package-data deps-deb
	@tools/package/deb.sh $(BUILD) $(PACKAGE_BOOK) $(TABLES)

match: build deps-match
	tools/match.sh $(BUILD)/tirvex 20 1 1 $(BUILD)/match
