.PHONY: run test bench ci clean
run:
	./run.sh
test:
	./test.sh
bench:
	scripts/bench.sh
ci:
	bash .ci/run
clean:
	rm -rf build
