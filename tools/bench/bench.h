// Benchmarks of the release build: each prints its own figures.
#pragma once
int BenchPerft();
int BenchEval();
int BenchSearch();
int BenchBook();
