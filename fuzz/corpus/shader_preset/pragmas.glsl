#pragma parameter GAMMA "Target gamma" 2.4 0.1 5.0 0.1
#pragma parameter WEIGHT "Weight" 0.3 0.0 1.0
#pragma parameter BAD no quotes 1 2 3 4
#if defined(VERTEX)
void main(){}
#endif
