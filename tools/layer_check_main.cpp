// The body of the layer checks: each is linked from one layer of the run-time and
// the layers below it, so that a call into a higher layer fails to link. It is
// never run.
int main()
{
    return 0;
}
