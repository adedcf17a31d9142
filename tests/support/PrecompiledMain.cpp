// Owner of the test programs' precompiled headers; never run.
int main()
{
    return 0;
}
